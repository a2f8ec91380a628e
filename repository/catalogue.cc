// The listings of the two pseudo tables, one line per class.
#include "repository/catalogue.h"

#include "repository/class_description.h"
#include "repository/connection.h"
#include "terminal/interrupt.h"
#include "terminal/output.h"

namespace {

CommandErrors ListConnectedClasses(const awq_Database& db) {
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  out::Write(" cid   size  name");
  out::EndLine();
  out::Write(" ---   ----  ----");
  out::EndLine();
  for (const awq_Class& c : classes) {
    out::Int(c.GetClassNumber(), 4);
    out::Int(c.GetObjectSize(), 5);
    out::Put(' ');
    out::Write(c.GetName());
    out::EndLine();
  }
  return {};
}

CommandErrors ListConnectedClassStats(const awq_Database& db) {
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  out::Write(" cid size minM maxM numM # objs name");
  out::EndLine();
  out::Write(" --- ---- ---- ---- ---- ------ ----");
  out::EndLine();
  for (const awq_Class& c : classes) {
    if (TakeInterrupt()) return CommandErrors(ErrorCode::kInterrupted);
    const char* name = c.GetName();
    const MemberStats stats = ComputeMemberStats(c);
    // The objects FindObjects would list, counted without the list.
    const awq_ObjectSpan objects = db.SpanObjects(c.GetClassNumber());
    out::Int(c.GetClassNumber(), 4);
    out::Int(c.GetObjectSize(), 5);
    out::Int(stats.minM, 5);
    out::Int(stats.maxM, 5);
    out::Int(stats.numM, 5);
    out::Put(stats.maxM != stats.numM ? '*' : ' ');
    out::Int(objects.size(), 6);
    out::Put(' ');
    out::Write(name);
    out::EndLine();
  }
  return {};
}

}  // namespace

CommandErrors ListClasses() { return ReadConnected(ListConnectedClasses); }

CommandErrors ListClassStats() { return ReadConnected(ListConnectedClassStats); }
