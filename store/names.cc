// The name rules, the shown form of a name, and the catalogue table names.
#include "store/names.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "platform/ascii.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace wqstore {

namespace {

// What a character of a name is, as far as the rules go.
enum class NameChar { kOk, kControl, kBlank, kInvisible };

NameChar Classify(uint32_t cp) {
  if (IsControlCharacter(cp)) return NameChar::kControl;
  if (cp < 0x80) return cp == 0x20 ? NameChar::kBlank : NameChar::kOk;
  // Unicode space separators (Zs) and the line and paragraph separators.
  if (cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 ||
      cp == 0x2029 || cp == 0x202F || cp == 0x205F || cp == 0x3000) {
    return NameChar::kBlank;
  }
  if (IsInvisibleFormattingCharacter(cp)) return NameChar::kInvisible;
  return NameChar::kOk;
}

std::string CodePoint(uint32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

// The first fault of `name` under the stored rule, or with `visible` also
// under the visible one.
Status Check(std::string_view name, bool visible) {
  if (name.empty()) return Status::Error("empty");
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  const size_t n = name.size();
  for (size_t i = 0; i < n;) {
    uint32_t cp;
    const size_t len = DecodeUtf8(p + i, p + n, &cp);
    if (len == 0) return Status::Error("invalid UTF-8 at byte " + Num(i));
    switch (Classify(cp)) {
      case NameChar::kOk: break;
      case NameChar::kControl: return Status::Error("control character at byte " + Num(i));
      case NameChar::kBlank:
        if (visible) {
          return Status::Error("blank character " + CodePoint(cp) + " at byte " + Num(i));
        }
        break;
      case NameChar::kInvisible:
        return Status::Error("invisible formatting character " + CodePoint(cp) + " at byte " +
                             Num(i));
    }
    i += len;
  }
  return Status::OK();
}

}  // namespace

Status CheckName(std::string_view name) { return Check(name, false); }

Status CheckVisibleName(std::string_view name) { return Check(name, true); }

std::string ShownName(std::string_view name) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
  const size_t n = name.size();
  std::string shown;
  shown.reserve(n);
  for (size_t i = 0; i < n;) {
    uint32_t cp;
    const size_t len = DecodeUtf8(p + i, p + n, &cp);
    if (len == 0) {
      shown += '?';
      i++;
      continue;
    }
    const NameChar kind = Classify(cp);
    if (kind == NameChar::kControl || kind == NameChar::kInvisible) {
      shown += '?';
    } else {
      shown.append(name.data() + i, len);
    }
    i += len;
  }
  return shown;
}

bool IsCatalogueTableName(std::string_view name) {
  return EqualsIgnoreCase(name, kClassesTableName) || EqualsIgnoreCase(name, kClassStatsTableName);
}

}  // namespace wqstore
