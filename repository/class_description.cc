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

CommandErrors DescribeConnectedClass(const awq_Database& db, const char* className) {
  if (className == nullptr) return CommandErrors(ErrorCode::kClassNameExpected);
  const awq_Class cls = db.FindClassDef(className);
  if (cls.IsEmpty()) return CommandErrors(ErrorCode::kClassNotFound, className);
  const MemberStats stats = ComputeMemberStats(cls);
  out::Write("class: ");
  out::Write(cls.GetName());
  out::Write(" classNumber=");
  out::Int(cls.GetClassNumber());
  out::Write(" objSize=");
  out::Int(cls.GetObjectSize());
  out::Write(" minM=");
  out::Int(stats.minM);
  out::Write(" maxM=");
  out::Int(stats.maxM);
  out::Write(" numM=");
  out::Int(stats.numM);
  out::EndLine();

  awq_autovector<awq_ClassProperty> members = cls.GetMembers();
  out::Write(" mid   type  Nulls    name");
  out::EndLine();
  out::Write(" ---   ----  -------- ----");
  out::EndLine();
  for (const awq_ClassProperty& m : members) {
    out::Int(m.GetMemberNumber(), 4);
    out::Field(GetDataTypeName(m.GetDataType()), 7);
    out::Put(' ');
    out::Write(m.AllowNullValue() ? "Allowed  " : "Not Null ");
    out::Write(m.GetName());
    out::EndLine();
  }
  return {};
}

}  // namespace

CommandErrors DescribeClass(const char* className) {
  return ReadConnected(
      [className](const awq_Database& db) { return DescribeConnectedClass(db, className); });
}
