// Class and member names that would act on a terminal or hide what they
// hold: Open refuses control and invisible characters, the writer, wqmake
// and the validator refuse those and blank characters, and messages show
// such names with "?".
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "repository/store_api.h"
#include "store/checksums.h"
#include "store/names.h"
#include "store/writer.h"
#include "tests/support/checked_writer.h"
#include "tests/support/test_util.h"

namespace wqstore {
namespace {

using wqtest::TempFolder;

// Class "CLASSNAME" (1) with the member "membername" (2) and one object;
// `class_name` and `member_name` are then put in place of those bytes (as
// long or shorter, padded with 'x'), and the checksums made to match.
std::string PatchedImage(const std::string& class_name, const std::string& member_name) {
  wqtest::CheckedWriter w;
  const uint32_t c = w.AddClass("CLASSNAME", 1);
  w.AddMember(c, "membername", 2, wqTypeInt, true);
  w.SetInt(w.AddObject(c), 0, 7);
  std::string image = w.Serialize();
  auto put = [&image](const std::string& placeholder, const std::string& name) {
    const size_t at = image.find(placeholder);
    EXPECT_LE(name.size(), placeholder.size());
    image.replace(at, placeholder.size(),
                  name + std::string(placeholder.size() - name.size(), 'x'));
  };
  put("CLASSNAME", class_name);
  put("membername", member_name);
  RecomputeChecksums(&image, Checksums::kAll);
  return image;
}

// The message ValidateRepository throws for the file, or "".
std::string ValidationError(const std::string& path) {
  awq_Database db;
  db.Open(path.c_str(), omReadOnly, 0, false);
  try {
    db.ValidateRepository();
  } catch (const awq_StoreError& e) {
    return e.what();
  }
  return "";
}

// Control and invisible characters in stored names: Open refuses the file,
// so the shell never connects to it and no name reaches the terminal.
TEST(NameRule, OpenRefusesControlAndInvisibleCharacters) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  struct Case {
    std::string class_name;
    std::string member_name;
    const char* why;
  };
  const Case cases[] = {
      {"\x1B[2J", "membername", "class entry 0: name control character at byte 0"},
      {"Part\r", "membername", "class entry 0: name control character at byte 4"},
      {"CLASSNAME", "a\nb", "member entry 0 (class entry 0): name control character at byte 1"},
      {"CLASSNAME", "del\x7F", "member entry 0 (class entry 0): name control character at byte 3"},
      {"CLASSNAME",
       "csi\xC2\x9B"
       "2J",
       "member entry 0 (class entry 0): name control character at "
       "byte 3"},
      {"bad\xFF", "membername", "class entry 0: name invalid UTF-8 at byte 3"},
      {"\xE2\x80\xAE"
       "traP",
       "membername", "class entry 0: name invisible formatting character U+202E at byte 0"},
      {"CLASSNAME",
       "Pa\xF3\xA0\x81\xB2"
       "rt",
       "member entry 0 (class entry 0): name invisible formatting character U+E0072 at byte 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    wqtest::WriteFile(path, PatchedImage(c.class_name, c.member_name));
    awq_Database db;
    EXPECT_EQ(db.Open(path.c_str(), omReadOnly, 0, false), nullptr);
    EXPECT_EQ(ValidationError(path), "no repository is open (" + path + ": " + c.why + ")");
    const std::string out = wqtest::RunShell(
        folder.path(), "connect r.rtm\nselect * from sys$tables\ndescr " + c.class_name + "\n");
    EXPECT_EQ(out.find("*E* error connecting to repository\n"), 4u) << out;
    EXPECT_EQ(out.find('\x1B'), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find("\xE2\x80\xAE"), std::string::npos);
  }
}

// Names that show something else than they hold, among them six that all
// read "Part": the writer and wqmake never write one; a file with one in a
// class or member name fails validation, and Open refuses it unless the
// character is a blank (it then shows its names as stored).
TEST(NameRule, HiddenCharactersAreRefused) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  struct Case {
    std::string name;
    std::string why;
  };
  const Case cases[] = {
      {"a\xC2\xA0"
       "b",
       "blank character U+00A0 at byte 1"},
      {"ab\xE3\x80\x80", "blank character U+3000 at byte 2"},
      {"ab\xE2\x80\xA8", "blank character U+2028 at byte 2"},  // a line separator
      {"\xE2\x80\xAE"
       "ab",
       "invisible formatting character U+202E at byte 0"},
      {"a\xE2\x80\x8B"
       "b",
       "invisible formatting character U+200B at byte 1"},
      {"\xEF\xBB\xBF"
       "ab",
       "invisible formatting character U+FEFF at byte 0"},
      {"Part\xD8\x9C", "invisible formatting character U+061C at byte 4"},
      {"Pa\xF3\xA0\x81\xB2"
       "rt",
       "invisible formatting character U+E0072 at byte 2"},
      {"Pa\xC2\xAD"
       "rt",
       "invisible formatting character U+00AD at byte 2"},
      {"P\xCD\x8F"
       "art",
       "invisible formatting character U+034F at byte 1"},
      {"Part\xEF\xB8\x8F", "invisible formatting character U+FE0F at byte 4"},
      {"Par\xE2\x81\xA6"
       "t",
       "invisible formatting character U+2066 at byte 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string shown = "\"" + ShownName(c.name) + "\"";
    RepositoryWriter w;
    uint32_t cls = 0;
    EXPECT_EQ(w.AddClass(c.name, 1, false, 0, nullptr).message(),
              "class name " + shown + ": " + c.why);
    ASSERT_TRUE(w.AddClass("A", 1, false, 0, &cls).ok());
    EXPECT_EQ(w.AddMember(cls, c.name, 1, wqTypeInt, true, nullptr).message(),
              "class \"A\": member name " + shown + ": " + c.why);
    EXPECT_EQ(w.class_count(), 1u);

    const std::string made =
        wqtest::MakeRepository("{\"classes\": [{\"name\": \"" + c.name + "\"}]}", path);
    EXPECT_NE(made.find("class name " + shown + ": " + c.why), std::string::npos) << made;

    const bool blank = c.why.compare(0, 5, "blank") == 0;
    wqtest::WriteFile(path, PatchedImage(c.name, "membername"));
    awq_Database db;
    EXPECT_EQ(db.Open(path.c_str(), omReadOnly, 0, false) != nullptr, blank);
    EXPECT_EQ(ValidationError(path),
              blank ? "repository " + path + ": class entry 0: name " + c.why
                    : "no repository is open (" + path + ": class entry 0: name " + c.why + ")");
    wqtest::WriteFile(path, PatchedImage("CLASSNAME", c.name));
    EXPECT_EQ(ValidationError(path),
              blank ? "repository " + path + ": class 1 (CLASSNAME), member entry 0: name " + c.why
                    : "no repository is open (" + path + ": member entry 0 (class entry 0): name " +
                          c.why + ")");
  }
}

// A message about a refused name shows its hidden character as "?", and
// Open's refusal does not show the name at all.
TEST(NameRule, MessagesShowHiddenCharacters) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  RepositoryWriter w;
  EXPECT_EQ(w.AddClass("a\xE2\x80\xAE"
                       "b\x1B",
                       1, false, 0, nullptr)
                .message(),
            "class name \"a?b?\": invisible formatting character U+202E at byte 1");
  wqtest::WriteFile(path, PatchedImage("a\xE2\x80\xAE"
                                       "b",
                                       "membername"));
  EXPECT_EQ(ValidationError(path), "no repository is open (" + path +
                                       ": class entry 0: name invisible formatting character "
                                       "U+202E at byte 1)");
}

// A class named like a catalogue table: the format and the writer allow it
// (the library and its bindings write such files), Open and validation
// accept it, and the shell reads it through a list of columns, while
// "select *" lists the catalogue. wqmake refuses the name.
TEST(NameRule, CatalogueTableNameIsAClassName) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  wqtest::CheckedWriter w;
  const uint32_t c = w.AddClass("SYS$Tables", 5);
  w.AddMember(c, "a", 1, wqTypeString, true);
  w.SetString(w.AddObject(c), 0, "kept");
  w.Commit(path);
  EXPECT_EQ(ValidationError(path), "");
  const std::string out = wqtest::RunShell(
      folder.path(), "connect r.rtm\nselect * from sys$tables\nselect a from SYS$Tables\n");
  EXPECT_NE(out.find("SYS$Tables"), std::string::npos) << out;
  EXPECT_NE(out.find("kept"), std::string::npos) << out;
  EXPECT_EQ(out.find("*E*"), std::string::npos) << out;
  EXPECT_NE(wqtest::MakeRepository(R"({"classes": [{"name": "SYS$Tables"}]})", path)
                .find("class name \"SYS$Tables\" is reserved for a catalogue table"),
            std::string::npos);
  EXPECT_EQ(ValidationError(path), "");  // the refused source left the file as it was
}

// Entries may point at the same name bytes, but all names together take no
// more than the names area: Open's checks cost one pass over it.
TEST(NameRule, NamesTakeAtMostTheNamesArea) {
  const TempFolder folder;
  const std::string path = folder.File("r.rtm");
  wqtest::CheckedWriter w;
  const uint32_t c = w.AddClass("C", 1);
  w.AddMember(c, std::string(1000, 'm'), 1, wqTypeInt, true);
  w.AddMember(c, "n", 2, wqTypeInt, true);
  std::string image = w.Serialize();
  // The second member's name set to the first one's.
  const size_t members = 64 + 32 + 64;
  std::memcpy(&image[members + 32 + 12], &image[members + 12], 8);
  RecomputeChecksums(&image, Checksums::kAll);
  wqtest::WriteFile(path, image);
  EXPECT_EQ(ValidationError(path),
            "no repository is open (" + path +
                ": member entry 1 (class entry 0): the names up to this entry take more than the "
                "1005 bytes of the names area)");
}

}  // namespace
}  // namespace wqstore
