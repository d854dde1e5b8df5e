#include "listview_sort.h"

#include "msgbox.h"
#include "utils.h"

#include "vcl/list_view.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>
#include <string>

int SortColumn = 0;
int SortDirection = 1;

namespace {

int Sign(std::int64_t d) {
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

// A dotted IPv4 text in host order; an unreadable text reads as 255.255.255.255.
std::uint32_t AddressValue(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return 0xFFFFFFFFu;
    return ntohl(address.s_addr);
}

} // namespace

int CompareBytes(const char* a, const char* b) {
    const int c = std::strcmp(a, b); // strcmp compares as unsigned char
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int ListViewCompare(vcl::TListItem* item1, vcl::TListItem* item2, std::intptr_t column) {
    if (!item1 || !item2) return 0;
    if (column <= 0) {
        const std::string c1 = item1->GetCaption(), c2 = item2->GetCaption();
        for (const int id : {845, 60}) {
            const char* last = GetMessageText(id);
            if (c1 == last) return SortDirection;
            if (c2 == last) return -SortDirection;
        }
        return CompareBytes(c1.c_str(), c2.c_str()) * SortDirection;
    }
    vcl::TListView* list = item1->ListView();
    std::string title;
    if (list && column < list->Columns()->Count())
        title = list->Columns()->Items(column)->GetCaption();
    const std::string s1 = item1->SubItems()->Strings(column - 1);
    const std::string s2 = item2->SubItems()->Strings(column - 1);
    int result;
    if (title == GetMessageText(128)) {
        const std::uint32_t a1 = AddressValue(s1), a2 = AddressValue(s2);
        result = a1 < a2 ? -1 : a1 > a2 ? 1 : 0;
    } else if (title == GetMessageText(120) || title == GetMessageText(124)) {
        result = Sign(utils::ParseSizeText(s1) - utils::ParseSizeText(s2));
    } else {
        result = CompareBytes(s1.c_str(), s2.c_str());
    }
    return result * SortDirection;
}

void ListViewColumnClick(vcl::TListView* list, int column) {
    if (column != SortColumn) {
        SortColumn = column;
        SortDirection = 1;
    } else {
        SortDirection = -SortDirection;
    }
    if (list) list->CustomSort(ListViewCompare, column);
}

void SortListRows(vcl::TListView* list) {
    if (list) list->CustomSort(ListViewCompare, 0);
}
