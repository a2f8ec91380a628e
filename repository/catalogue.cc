// The listings of the two pseudo tables, one line per class.
#include "repository/catalogue.h"

#include "repository/class_description.h"
#include "repository/connection.h"
#include "terminal/interrupt.h"
#include "terminal/output.h"

namespace {

CommandErrors ListConnectedClasses(const awq_Database& db, BufferedWriter& writer) {
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  writer.Str(" cid   size  name");
  writer.EndLine();
  writer.Str(" ---   ----  ----");
  writer.EndLine();
  for (const awq_Class& c : classes) {
    out::Int(writer, c.GetClassNumber(), 4);
    out::Int(writer, c.GetObjectSize(), 5);
    writer.Put(' ');
    writer.Str(c.GetName());
    writer.EndLine();
  }
  return {};
}

CommandErrors ListConnectedClassStats(const awq_Database& db, BufferedWriter& writer) {
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  writer.Str(" cid size minM maxM numM # objs name");
  writer.EndLine();
  writer.Str(" --- ---- ---- ---- ---- ------ ----");
  writer.EndLine();
  for (const awq_Class& c : classes) {
    if (TakeInterrupt()) return CommandErrors(ErrorCode::kInterrupted);
    const char* name = c.GetName();
    const MemberStats stats = ComputeMemberStats(c);
    // The objects FindObjects would list, counted without the list.
    const awq_ObjectSpan objects = db.SpanObjects(c.GetClassNumber());
    out::Int(writer, c.GetClassNumber(), 4);
    out::Int(writer, c.GetObjectSize(), 5);
    out::Int(writer, stats.minM, 5);
    out::Int(writer, stats.maxM, 5);
    out::Int(writer, stats.numM, 5);
    writer.Put(stats.maxM != stats.numM ? '*' : ' ');
    out::Int(writer, objects.size(), 6);
    writer.Put(' ');
    writer.Str(name);
    writer.EndLine();
  }
  return {};
}

}  // namespace

CommandErrors ListClasses(BufferedWriter& writer) {
  return ReadConnected([&](const awq_Database& db) { return ListConnectedClasses(db, writer); });
}

CommandErrors ListClassStats(BufferedWriter& writer) {
  return ReadConnected([&](const awq_Database& db) { return ListConnectedClassStats(db, writer); });
}
