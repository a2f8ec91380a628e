// list_classes REPO: each class of a repository with its number and object
// count, read through the installed store library. Build it with the CMake
// project next to it (find_package(wqstore)) or with pkg-config:
//   g++ -std=c++17 list_classes.cc $(pkg-config --cflags --libs wqstore)
#include <cstdio>

#include "repository/store_api.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: list_classes REPO\n");
    return 2;
  }
  awq_Database db;
  try {
    // Open returns null on failure; validating then throws with the reason.
    if (db.Open(argv[1], omReadOnly, 0, false) == nullptr) db.ValidateRepository();
    for (const awq_Class& c : db.GetClassDefs()) {
      const awq_autovector<awq_Object> objects = db.FindObjects(c.GetClassNumber());
      std::printf("%s (%d): %d objects\n", c.GetName(), c.GetClassNumber(), objects.size());
    }
  } catch (const awq_StoreError& e) {
    std::fprintf(stderr, "list_classes: %s\n", e.what());
    return 1;
  }
  return 0;
}
