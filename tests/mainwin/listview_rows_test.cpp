// The pieces of the list view that need no window: the row comparison by column kind, the image
// row texts, which images a folder lists, image sizes as text and the node-kind icons.
#include "../platform/app_fixture.h"

#include "icons.h"
#include "listview_layouts.h"
#include "listview_sort.h"
#include "nasserver.h"
#include "server_lists.h"

#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class ListRowsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        form = new vcl::TForm(nullptr);
        list = new vcl::TListView(form);
        list->SetParent(form);
        SortColumn = 0;
        SortDirection = 1;
    }
    void TearDown() override {
        delete form;
        AppTest::TearDown();
    }
    vcl::TListItem* Row(const std::string& caption, const std::string& sub) {
        vcl::TListItem* row = list->Items()->Add();
        row->SetCaption(caption);
        row->SubItems()->Add(sub);
        return row;
    }
    void Columns(const std::string& second) {
        list->Columns()->Clear();
        list->Columns()->Add()->SetCaption("Name");
        list->Columns()->Add()->SetCaption(second);
    }
    vcl::TForm* form = nullptr;
    vcl::TListView* list = nullptr;
};

TEST_F(ListRowsTest, RowsCompareByWhatTheirColumnHolds) {
    struct Case {
        std::string title, less, greater;
    };
    const Case cases[] = {
        {"IP Address", "10.0.0.5", "192.168.1.20"},
        {"IP Address", "127.0.66.3", "127.0.66.20"},
        {"IP Address", "192.168.1.20", "not an address"}, // unreadable: 255.255.255.255
        {"Size", "900 KB", "1.5 MB"},
        {"Used Space", "2 KB", "1 GB"},
        {"Comment", "B", "a"}, // text: byte order, letter case counts
        {"Comment", "", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title + ": " + c.less + " < " + c.greater);
        list->Items()->Clear();
        Columns(c.title);
        vcl::TListItem* a = Row("a", c.less);
        vcl::TListItem* b = Row("b", c.greater);
        SortDirection = 1;
        EXPECT_EQ(ListViewCompare(a, b, 1), -1);
        EXPECT_EQ(ListViewCompare(b, a, 1), 1);
        EXPECT_EQ(ListViewCompare(a, a, 1), 0);
        SortDirection = -1;
        EXPECT_EQ(ListViewCompare(a, b, 1), 1);
    }
    // A row that lacks the sub-item compares as an empty text.
    list->Items()->Clear();
    Columns("Comment");
    vcl::TListItem* bare = list->Items()->Add();
    SortDirection = 1;
    EXPECT_EQ(ListViewCompare(bare, Row("x", "y"), 1), -1);
}

TEST_F(ListRowsTest, OtherAndNasNetworkRowsGoLast) {
    Columns("Comment");
    vcl::TListItem* other = Row("[ Other ]", "");
    vcl::TListItem* network = Row("NAS Network", "");
    vcl::TListItem* plain = Row("zzz", "");
    for (int direction : {1, -1}) {
        SortDirection = direction;
        EXPECT_EQ(ListViewCompare(other, plain, 0), direction);
        EXPECT_EQ(ListViewCompare(plain, other, 0), -direction);
        EXPECT_EQ(ListViewCompare(network, plain, 0), direction);
        EXPECT_EQ(ListViewCompare(plain, network, 0), -direction);
    }
    SortDirection = 1;
    EXPECT_EQ(ListViewCompare(Row("Zeta", ""), Row("alpha", ""), 0), -1);

    // A header click on a new column sorts ascending, on the same column it turns the direction.
    ListViewColumnClick(list, 0);
    EXPECT_EQ(SortDirection, -1);
    std::vector<std::string> order;
    for (int i = 0; i < list->Items()->Count(); ++i)
        order.push_back(list->Items()->Item(i)->GetCaption());
    EXPECT_EQ(order,
              (std::vector<std::string>{"[ Other ]", "NAS Network", "zzz", "alpha", "Zeta"}));
    ListViewColumnClick(list, 1);
    EXPECT_EQ(SortColumn, 1);
    EXPECT_EQ(SortDirection, 1);
}

NasImgInfo Record(const std::string& name, const std::string& path, std::uint8_t state,
                  std::uint8_t fileSystem, std::uint8_t flags, std::uint32_t size = 0) {
    NasImgInfo r{};
    std::memcpy(r.name, name.data(), std::min(name.size(), sizeof r.name));
    std::memcpy(r.path, path.data(), std::min(path.size(), sizeof r.path));
    r.state = state;
    r.fileSystem = fileSystem;
    r.flags = flags;
    r.size = size;
    return r;
}

TEST(ImageRows, TextsOfAnImageRecord) {
    struct Case {
        std::uint8_t state, fileSystem, flags;
        const char* stateText;
        const char* fileSystemText;
    };
    const Case cases[] = {
        {1, 1, 0, "Ready", "ISO 9660"}, {2, 2, 0, "Creating", "UDF"},
        {3, 3, 0, "Replacing", "HFS"},  {4, 4, 1, "*Replacing", "HFS+"},
        {0, 0, 1, "*---", "UNKNOW"},    {9, 200, 2, "---", "UNKNOW"},
    };
    for (const Case& c : cases) {
        const ImageRowTexts t =
            GetImageRowTexts(Record("n", "F/n", c.state, c.fileSystem, c.flags), 0);
        EXPECT_EQ(t.State, c.stateText);
        EXPECT_EQ(t.FileSystem, c.fileSystemText);
    }
    // Fields filled to the last byte are read no further than their width.
    NasImgInfo full = Record("", "", 1, 1, 0);
    std::memset(full.name, 'N', sizeof full.name);
    std::memset(full.path, 'P', sizeof full.path);
    const ImageRowTexts t = GetImageRowTexts(full, 1);
    EXPECT_EQ(t.Name, std::string(32, 'N'));
    EXPECT_EQ(t.Path, std::string(112, 'P'));
}

TEST(ImageRows, SizesCountInBlocksOf2048Bytes) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0 KB"},       {1, "2 KB"},        {511, "1022 KB"},
        {512, "1 MB"},     {768, "1.5 MB"},    {5120, "10 MB"},
        {1048576, "2 GB"}, {5242880, "10 GB"}, {0xFFFFFFFFu, "8191 GB"},
    };
    for (const auto& [count, text] : cases)
        EXPECT_EQ(FormatSizeText(count, 0), text) << count;
    EXPECT_EQ(FormatSizeText(1048576, 3), "2048 MB");
    EXPECT_EQ(FormatSizeText(7, 1), "7 BYTE(S)");
}

TEST(ImageRows, AFolderListsTheImagesOfItsPath) {
    CNasServer server;
    server.ImgFolderCount = 2;
    std::strcpy(server.ImgFolders[0] + 8, "A");
    std::strcpy(server.ImgFolders[1] + 8, "B");
    struct Case {
        std::string path;
        bool inA, inB, inOther;
    };
    const Case cases[] = {
        {"A/x.iso", true, false, false},  {"B/y.iso", false, true, false},
        {"C/z.iso", false, false, true},  {"plain.iso", false, false, true},
        {"AB/x.iso", false, false, true}, {"C/A/x.iso", false, false, true},
        {"A", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ImageInFolder(c.path, "A", false, server), c.inA);
        EXPECT_EQ(ImageInFolder(c.path, "B", false, server), c.inB);
        EXPECT_EQ(ImageInFolder(c.path, "[ Other ]", true, server), c.inOther);
    }
}

TEST(ListLayouts, TwelveLayoutsWithTheirColumns) {
    const std::size_t counts[] = {2, 3, 3, 7, 6, 6, 4, 3, 8, 1, 2, 5};
    for (int layout = 0; layout < 12; ++layout)
        EXPECT_EQ(ListLayoutColumns(layout).size(), counts[layout]) << layout;
    EXPECT_TRUE(ListLayoutColumns(-1).empty());
    EXPECT_TRUE(ListLayoutColumns(12).empty());
    EXPECT_TRUE(ListLayoutColumns(3)[2].RightAligned);   // Size
    EXPECT_FALSE(ListLayoutColumns(11)[2].RightAligned); // every column of 11 is left
}

TEST_F(ListRowsTest, SixtyNodeKindIconsInKindOrder) {
    vcl::TImageList images(nullptr);
    EXPECT_EQ(AddNodeKindIcons(&images), kNodeKindIconCount);
    EXPECT_EQ(images.Count(), 60);
    vcl::TPicture picture;
    EXPECT_TRUE(images.GetPicture(59, picture));
    EXPECT_FALSE(picture.Empty());
    // A list that holds pictures already would shift every kind: it gets nothing.
    EXPECT_EQ(AddNodeKindIcons(&images), -1);
    EXPECT_EQ(images.Count(), 60);
}

} // namespace
