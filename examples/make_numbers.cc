// make_numbers COUNT REPO: writes a repository of one class "Number" whose
// COUNT objects hold n = 0, 1, ... and their squares as doubles, through the
// installed store library's writer; then reads it back and prints the sum
// of n, walking the objects with the library's range (which allocates
// nothing per object). Build it as list_classes is built.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <wqstore/wqstore.h>

namespace {

int Fail(const wqstore::Result& r) {
  std::fprintf(stderr, "make_numbers: %s\n", r.message().c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_numbers COUNT REPO\n");
    return 2;
  }
  const long count = std::strtol(argv[1], nullptr, 10);
  const char* path = argv[2];

  wqstore::Writer w;
  wqstore::Result r = w.SpillNear(path);  // memory does not grow with COUNT
  if (r.ok()) r = w.AddClass("Number", 1);
  if (r.ok()) r = w.AddMember(1, "n", 1, wqstore::DataType::kInt, false);
  if (r.ok()) r = w.AddMember(1, "square", 2, wqstore::DataType::kDouble, false);
  for (long i = 0; r.ok() && i < count; i++) {
    wqstore::ObjectId id;
    r = w.AddObject(1, &id);
    if (r.ok()) r = w.SetInt(id, 1, static_cast<int32_t>(i));
    if (r.ok()) r = w.SetDouble(id, 2, static_cast<double>(i) * static_cast<double>(i));
  }
  if (r.ok()) r = w.Commit(path);
  if (!r.ok()) return Fail(r);

  std::unique_ptr<wqstore::Repository> repo;
  r = wqstore::Repository::Open(path, &repo);
  wqstore::ClassDef numbers;
  if (r.ok()) r = repo->FindClass("Number", &numbers);
  if (!r.ok()) return Fail(r);
  long long sum = 0;
  for (const wqstore::Object o : numbers.objects()) {
    int32_t n;
    r = o.GetInt(1, &n);
    if (!r.ok()) return Fail(r);
    sum += n;
  }
  std::printf("%d objects, sum of n %lld\n", numbers.object_count(), sum);
  return 0;
}
