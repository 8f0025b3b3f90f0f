// Item lists: the items of list widgets as one string with a separator ("|" unless swgmix
// changed it). "" holds no item; "a||b" holds three, the second empty.
#include <cstring>

#include "core/entry.h"
#include "core/messages.h"
#include "tavero_api.h"
#include "widgets/wg_model.h"

namespace tavero {

// Room of the list buffer that itmcat may fill (the binding passes a buffer this large).
inline constexpr int kItemListMax = 32767;

std::vector<std::string> split_items(const char* list, char sep) {
  std::vector<std::string> out;
  if (!list || !*list) return out;
  const char* start = list;
  for (const char* p = list;; ++p) {
    if (*p == sep || *p == 0) {
      out.emplace_back(start, p);
      if (*p == 0) break;
      start = p + 1;
    }
  }
  return out;
}

std::string join_items(const std::vector<std::string>& items, char sep) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += sep;
    out += items[i];
  }
  return out;
}

int itmcnt(const char* clis) {
  Context* ctx = enter(R::itmcnt);
  if (!ctx || !clis || !*clis) return 0;
  const char sep = widget_state(*ctx).sep;
  int n = 1;
  for (const char* p = clis; *p; ++p) n += *p == sep;
  return n;
}

const char* itmstr(const char* clis, int nlis) {
  Context* ctx = enter(R::itmstr);
  if (!ctx) return "";
  WidgetState& s = widget_state(*ctx);
  std::vector<std::string> items = split_items(clis, s.sep);
  if (nlis < 1 || nlis > static_cast<int>(items.size())) {
    warn_number(*ctx, kMsgIncorrectParameter, nlis);
    return "";
  }
  s.item = items[nlis - 1];
  return s.item.c_str();
}

namespace {

// Appends citem to clis when the result stays within limit characters.
void append_item(Context& ctx, char* clis, int limit, const char* citem) {
  if (!clis) return;
  const char sep = widget_state(ctx).sep;
  const size_t have = std::strlen(clis), add = citem ? std::strlen(citem) : 0;
  const size_t need = have + (have ? 1 : 0) + add;
  if (need > static_cast<size_t>(limit)) {
    widget_warn(ctx, kMsgListLong, "Item list too long: " + std::to_string(need) + " characters");
    return;
  }
  if (have) clis[have] = sep;
  if (add) std::memcpy(clis + have + (have ? 1 : 0), citem, add);
  clis[need] = 0;
}

}  // namespace

// clis must have room for 32767 characters and the terminator; itmncat takes the room.
void itmcat(char* clis, const char* citem) {
  Context* ctx = enter(R::itmcat);
  if (!ctx) return;
  append_item(*ctx, clis, kItemListMax, citem);
}

void itmncat(char* clis, int nmax, const char* citem) {
  Context* ctx = enter(R::itmncat);
  if (!ctx || check_range(*ctx, nmax, 1, kItemListMax)) return;
  append_item(*ctx, clis, nmax, citem);
}

}  // namespace tavero
