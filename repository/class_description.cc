// The class summary and member table of `descr`, and the member statistics.
#include "repository/class_description.h"

#include "repository/connection.h"
#include "terminal/output.h"

MemberStats ComputeMemberStats(awq_Class classDef) {
  awq_autovector<awq_ClassProperty> members = classDef.GetMembers();
  MemberStats s;
  s.numM = members.count;
  if (members.count > 0) {
    s.minM = s.maxM = members[0].GetMemberNumber();
    for (int32_t i = 1; i < members.count; ++i) {
      const int32_t n = members[i].GetMemberNumber();
      if (n > s.maxM) s.maxM = n;
      if (n < s.minM) s.minM = n;
    }
  }
  return s;
}

namespace {

CommandErrors DescribeConnectedClass(const awq_Database& db, const char* className,
                                     BufferedWriter& writer) {
  if (className == nullptr) return CommandErrors(ErrorCode::kClassNameExpected);
  const awq_Class cls = db.FindClassDef(className);
  if (cls.IsEmpty()) return CommandErrors(ErrorCode::kClassNotFound, className);
  const MemberStats stats = ComputeMemberStats(cls);
  writer.Str("class: ");
  writer.Str(cls.GetName());
  writer.Str(" classNumber=");
  out::Int(writer, cls.GetClassNumber());
  writer.Str(" objSize=");
  out::Int(writer, cls.GetObjectSize());
  writer.Str(" minM=");
  out::Int(writer, stats.minM);
  writer.Str(" maxM=");
  out::Int(writer, stats.maxM);
  writer.Str(" numM=");
  out::Int(writer, stats.numM);
  writer.EndLine();

  awq_autovector<awq_ClassProperty> members = cls.GetMembers();
  writer.Str(" mid   type  Nulls    name");
  writer.EndLine();
  writer.Str(" ---   ----  -------- ----");
  writer.EndLine();
  for (const awq_ClassProperty& m : members) {
    out::Int(writer, m.GetMemberNumber(), 4);
    out::Field(writer, GetDataTypeName(m.GetDataType()), 7);
    writer.Put(' ');
    writer.Str(m.AllowNullValue() ? "Allowed  " : "Not Null ");
    writer.Str(m.GetName());
    writer.EndLine();
  }
  return {};
}

}  // namespace

CommandErrors DescribeClass(const char* className, BufferedWriter& writer) {
  return ReadConnected(
      [&](const awq_Database& db) { return DescribeConnectedClass(db, className, writer); });
}
