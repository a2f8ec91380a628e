// The validator's rules outside its per-record loop, and the wording of the
// faults that loop finds: the reserved fields, names and uniqueness of the
// directory, the padding records of classes without stored values, and
// what exactly is wrong with a field the loop found unsound.
#ifndef WQSQL_STORE_VALIDATOR_RULES_H_
#define WQSQL_STORE_VALIDATOR_RULES_H_

#include <cstdint>
#include <string>

#include "platform/status.h"
#include "store/reader.h"

namespace wqstore {

// "class 12 (Part)": how faults name a class.
std::string ClassLabel(const ClassInfo& c);

// The reserved-field, name and uniqueness rules of the directory; fails
// with the first one broken.
Status CheckDirectoryRules(const Reader& reader);

// A class whose members store nothing has one-byte records that must be 0;
// fails with the first that is not. Succeeds for every other class.
Status CheckPaddingRecords(const ClassInfo& c);

// What is wrong with the value of member `m` of object `object` of class
// `c`, which the per-record checks found unsound.
std::string DescribeFieldFault(const Reader& reader, const ClassInfo& c, uint32_t object,
                               const MemberInfo& m);

}  // namespace wqstore

#endif  // WQSQL_STORE_VALIDATOR_RULES_H_
