#include "listview_layouts.h"

#include "central.h"
#include "msgbox.h"

#include <array>

namespace {

constexpr ListColumnSpec L(int id) {
    return {id, false};
}
constexpr ListColumnSpec R(int id) {
    return {id, true};
}

constexpr std::array kDesktop{L(114), L(115)};
constexpr std::array kMyComputer{L(116), L(117), L(118)};
constexpr std::array kCdDrive{L(119), L(117), R(120)};
constexpr std::array kContainer{L(121), L(117), R(120), R(122), L(123), R(124), L(125)};
constexpr std::array kCdhRoot{L(126), L(127), L(128), L(129), L(130), L(118)};
constexpr std::array kCdhServer{L(114), L(117), R(131), R(132), R(133), R(134)};
constexpr std::array kCdhDevice{L(119), L(117), R(120), L(135)};
constexpr std::array kCdhShares{L(136), L(117), L(129)};
constexpr std::array kNasServers{L(126), L(833), L(128), L(128), L(128), L(130), L(135), L(118)};
constexpr std::array kNasServer{L(94)};
constexpr std::array kImageFolder{L(119), L(838), L(120), L(135), L(602)};

} // namespace

std::span<const ListColumnSpec> ListLayoutColumns(int layout) {
    switch (layout) {
    case 0:
        return kDesktop;
    case 1:
        return kMyComputer;
    case 2:
        return kCdDrive;
    case 3:
        return kContainer;
    case 4:
        return kCdhRoot;
    case 5:
        return kCdhServer;
    case 6:
        return kCdhDevice;
    case 7:
        return kCdhShares;
    case 8:
        return kNasServers;
    case 9:
        return kNasServer;
    case 10:
        return kDesktop; // NAS Network: the Desktop's columns, widths of its own
    case 11:
        return kImageFolder;
    default:
        return {};
    }
}

void SetListViewColumns(TForm_Central& form, vcl::TListView* list, int layout) {
    vcl::TTreeNode* selected = form.TreeView ? form.TreeView->GetSelected() : nullptr;
    if (!selected || !list) return;
    const bool byNode = layout == 0;
    if (byNode) {
        layout = TForm_Central::NodeKindToListLayout(selected->GetImageIndex());
        if (layout == form.ShownListLayout) return;
    }
    if (layout < 0 || layout >= kListLayoutCount) return;

    vcl::TListColumns* cols = list->Columns();
    cols->BeginUpdate();
    cols->Clear();
    for (std::size_t i = 0; i < ListLayoutColumns(layout).size(); ++i)
        cols->Add();
    cols->EndUpdate();
    SetLayoutColumnTexts(form, list, layout);
}

void SetLayoutColumnTexts(TForm_Central& form, vcl::TListView* list, int layout) {
    if (!list || layout < 0 || layout >= kListLayoutCount) return;
    const auto columns = ListLayoutColumns(layout);
    const std::int32_t* widths = form.IniData.ColumnWidth[layout];
    // Each change shows at once: an update bracket around changes in place would keep them back.
    vcl::TListColumns* cols = list->Columns();
    for (int i = 0; i < cols->Count() && i < static_cast<int>(columns.size()); ++i) {
        vcl::TListColumn* column = cols->Items(i);
        column->SetCaption(GetMessageText(columns[i].TitleId));
        column->SetAlignment(columns[i].RightAligned ? vcl::taRightJustify : vcl::taLeftJustify);
        if (i < kLayoutColumnCount) column->SetWidth(widths[i]);
    }
}

void StoreListColumnWidths(const vcl::TListView* list, int layout, _INI_DATA_& data) {
    if (!list || layout < 0 || layout >= kListLayoutCount) return;
    auto* cols = const_cast<vcl::TListView*>(list)->Columns();
    for (int i = 0; i < cols->Count() && i < kLayoutColumnCount; ++i)
        data.ColumnWidth[layout][i] = cols->Items(i)->GetWidth();
}
