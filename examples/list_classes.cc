// list_classes REPO: each class of a repository with its number and object
// count, read through the installed store library. The counts come from
// the file's directory: no object is read, so a repository of any size
// lists in the same small memory. Build it with the CMake project next to
// it (find_package(wqstore)) or with pkg-config:
//   g++ -std=c++17 list_classes.cc $(pkg-config --cflags --libs wqstore)
#include <cstdio>
#include <memory>

#include <wqstore/wqstore.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: list_classes REPO\n");
    return 2;
  }
  std::unique_ptr<wqstore::Repository> repo;
  const wqstore::Result opened = wqstore::Repository::Open(argv[1], &repo);
  if (!opened.ok()) {
    std::fprintf(stderr, "list_classes: %s\n", opened.message().c_str());
    return 1;
  }
  for (int32_t i = 0; i < repo->class_count(); i++) {
    const wqstore::ClassDef c = repo->class_at(i);
    std::printf("%.*s (%d): %d objects\n", static_cast<int>(c.name().size()), c.name().data(),
                c.number(), c.object_count());
  }
  return 0;
}
