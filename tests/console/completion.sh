# Tab completion of paths after connect (the home folder for "~", no name
# connect cannot take) and of member names before "from". Sourced by run.sh.

home="$work/home"
mkdir -p "$home/stock" "$home/sub"
cp "$work/repo.rtm" "$home/stock/shelf.rtm"
cp "$work/repo.rtm" "$home/with blank.rtm"
cp "$work/repo.rtm" "$home/semi;colon.rtm"
cp "$work/repo.rtm" "$home/sub/a,b.rtm"
start_shell "HOME='$home'"

# "~/st" becomes the home folder's path: a folder first, then its file.
keys "connect ~/st" Tab
wait_last "^wq> connect $home/stock/\$"
check "~ expanded when a folder completes" $?
keys "sh" Tab
wait_last "^wq> connect $home/stock/shelf.rtm ?\$"
check "file completes in the folder" $?
keys Enter
wait_for '^command took'
[ "$(count '\*E\*')" = 0 ]
check "completed path connects" $?

# Names with a blank or a semicolon are never offered. (The key typed after
# Tab shows once Tab has been handled.)
wait_prompt
keys "connect ~/wi" Tab "#"
wait_last '#$'
last_is '^wq> connect ~/wi#$'
check "name with a blank not offered" $?
keys C-u "connect ~/se" Tab "#"
wait_last '#$'
last_is '^wq> connect ~/se#$'
check "name with a semicolon not offered" $?

# A comma belongs to the path.
keys C-u "connect ~/sub/a," Tab Enter
wait_prompt
[ "$(count '\*E\*')" = 0 ] && screen | grep -q "^wq> connect $home/sub/a,b.rtm"
check "path with a comma completes and connects" $?

# Before "from", the members of every class; after "from CLASS" only its.
keys "select ri" Tab
wait_last '^wq> select right ?$'
check "member of any class before from" $?
keys ", wei" Tab " from Wide" Enter
wait_for '^\*E\* column: weight not found$'
check "member of another class before from" $?
wait_prompt
keys "select  from Wide" Home Right Right Right Right Right Right Right "l" Tab
wait_last '^wq> select left from Wide$'
check "only the named class's members after from" $?
keys C-a C-k "exit" Enter
wait_for 'SHELL-ENDED'
