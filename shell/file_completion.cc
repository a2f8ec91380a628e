// File name candidates for connect: the folder listing, the home folder
// for "~", and the names a command line cannot carry left out.
#include "shell/file_completion.h"

#include <dirent.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/ascii.h"
#include "shell/tokenizer.h"

namespace {

// HOME, else the home folder of the account; without a trailing slash.
std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const struct passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : nullptr;
  }
  if (home == nullptr) return "";
  std::string folder = home;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::vector<std::string> FileNameCandidates(const std::string& typed) {
  std::string path = typed;
  if (typed == "~" || typed.compare(0, 2, "~/") == 0) {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    if (typed == "~")
      return IsFolder(home) ? std::vector<std::string>{home} : std::vector<std::string>{};
    path = home + typed.substr(1);
  }
  const size_t slash = path.rfind('/');
  const std::string shown = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);

  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const struct dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (name[0] == '.' && (base.empty() || base[0] != '.')) continue;
    if (name.find_first_of(kCommandDelimiters) != std::string::npos) continue;
    if (StartsWithIgnoreCase(name, base)) names.push_back(shown + name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}
