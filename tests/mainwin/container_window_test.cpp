// "My Container" in the real main window, on host trees made in a temporary folder and driven by
// real input: files pasted through the real clipboard and Ctrl+V, files dropped from outside,
// renames typed into the in-place editor, merges answered "to all", the limits on names, paths
// and file sizes, save and load round trips, the container commands of the menus, and the
// deletion of CD images in rounds of 50.
#include "mainwin_fixture.h"

#include "../containers/container_fixtures.h"

#include "about.h"
#include "container.h"
#include "fmmsg.h"
#include "form1.h"
#include "nasserver.h"
#include "requests.h"

#include "vcl/menus.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <fstream>

namespace {

using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

class ContainerTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        FmMsg = vcl::MakeForm<TFmMsg>(nullptr);
        // The splash the program shows before the window: the first paint ends it.
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = false;
        host_ = home_ + "/host";
        fs::create_directories(host_);
    }
    void TearDown() override {
        delete Form_Central;
        Form_Central = nullptr;
        MainContainer.Clear();
        delete FmMsg;
        FmMsg = nullptr;
        delete Form_About;
        Form_About = nullptr;
        delete Form1;
        Form1 = nullptr;
        MainWindowTest::TearDown();
    }
    TForm_Central& Window() {
        TForm_Central& w = MakeWindow();
        w.Timer_ABSENT->SetEnabled(false);
        w.Timer_Refresh->SetEnabled(false);
        // The first idle moment (it selects Desktop) and the first paint come before the user.
        for (int i = 0; i < 5; ++i)
            vcl::Application->ProcessMessages();
        return w;
    }
    // A host file of that size (sparse: nothing is written) under the host folder.
    std::string File(const std::string& relative, std::uint64_t size = 3) {
        const std::string path = host_ + "/" + relative;
        fs::create_directories(fs::path(path).parent_path());
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(fd, 0) << path;
        if (fd >= 0) {
            EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
            ::close(fd);
        }
        return path;
    }
    std::string Folder(const std::string& relative) {
        const std::string path = host_ + "/" + relative;
        fs::create_directories(path);
        return path;
    }
    static QMimeData* Urls(const std::vector<std::string>& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
        mime->setUrls(urls);
        return mime;
    }
    // Puts the paths on the real clipboard and presses Ctrl+V on the tree, whose selected node
    // takes them.
    void PasteOnTree(const std::vector<std::string>& paths) {
        QGuiApplication::clipboard()->setMimeData(Urls(paths));
        QTest::keyClick(FocusTarget(W().TreeView), Qt::Key_V, Qt::ControlModifier);
    }
    // The in-place editor open in a view (closed ones linger hidden until deleted).
    static QLineEdit* OpenEditor(QWidget* view) {
        for (QLineEdit* e : view->findChildren<QLineEdit*>())
            if (e->isVisible()) return e;
        return nullptr;
    }
    // Types text into the open in-place editor of view and presses Enter, once the event loop
    // runs (inside the rename, which waits for the editor).
    void TypeIntoEditorLater(vcl::TWinControl* view, const std::string& text) {
        QWidget* target = FocusTarget(view);
        vcl::Application->Post([target, text] {
            QLineEdit* editor = OpenEditor(target);
            ASSERT_NE(editor, nullptr) << "no editor open";
            editor->selectAll();
            QTest::keyClicks(editor, QString::fromStdString(text));
            QTest::keyClick(editor, Qt::Key_Return);
        });
    }
    static std::vector<std::string> Names(const _CDH_CIS_RECORD_* folder) {
        Strings names;
        for (auto* r = MainContainer.GetFirstChild(folder); r; r = MainContainer.GetNextSibling(r))
            names.push_back(MainContainer.GetDisplayName(r));
        std::sort(names.begin(), names.end());
        return names;
    }
    vcl::TListItem* Row(const std::string& caption) {
        for (int i = 0; i < W().ListView->Items()->Count(); ++i)
            if (W().ListView->Items()->Item(i)->GetCaption() == caption)
                return W().ListView->Items()->Item(i);
        return nullptr;
    }
    // The main window becomes the active one again (a wait page or box may have taken it).
    void Activate() {
        QApplication::setActiveWindow(UiTest::W(Form_Central));
        vcl::Application->ProcessMessages();
    }
    void FocusList() {
        Activate();
        W().ListView->SetFocus();
        ASSERT_TRUE(W().ListView->Focused());
    }
    void ClickRow(vcl::TListItem* row) {
        ASSERT_NE(row, nullptr);
        const vcl::TRect r = row->DisplayRect();
        QTest::mouseClick(Viewport(W().ListView), Qt::LeftButton, {},
                          QPoint(r.Left + 4, (r.Top + r.Bottom) / 2));
    }

    std::string host_;
};

TEST_F(ContainerTest, PasteFillsTreeAndListAndSaveLoadRoundTrips) {
    File("docs/readme.txt", 100);
    File("docs/deep/b.bin", 5000);
    File("Zeta.ZIP");
    File("alpha.exe");
    Folder("docs/empty");
    TForm_Central& w = Window();
    // The start container: new and empty, untitled, and not savable as it stands.
    ASSERT_NE(w.MyContainerNode, nullptr);
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerEmpty);
    ASSERT_NE(w.MyContainerNode->GetData(), nullptr);
    EXPECT_TRUE(w.ContainerUntitled);
    ClickNode(w.MyContainerNode);
    EXPECT_TRUE(Captions().empty());
    Responder().ExpectBox("Container is empty.", vcl::IDOK);
    w.MenuItem_MenuSaveContainer->OnClick(w.MenuItem_MenuSaveContainer);

    PasteOnTree({host_ + "/docs", host_ + "/Zeta.ZIP", host_ + "/alpha.exe"});
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerModified);
    // Folders first, then files, each by name without regard to case; kinds by extension.
    EXPECT_EQ(Captions(), (Strings{"docs", "alpha.exe", "Zeta.ZIP"}));
    EXPECT_EQ(Row("docs")->GetImageIndex(), nkContainerFolder);
    EXPECT_EQ(Row("alpha.exe")->GetImageIndex(), 8);
    EXPECT_EQ(Row("Zeta.ZIP")->GetImageIndex(), 12);
    EXPECT_EQ(Row("docs")->SubItems()->Strings(0), "Folder");
    EXPECT_EQ(Row("alpha.exe")->SubItems()->Strings(0), "File");
    EXPECT_EQ(Row("alpha.exe")->SubItems()->Strings(5), host_ + "/alpha.exe");
    vcl::TTreeNode* docs = Child(w.MyContainerNode, "docs");
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(ChildTexts(docs), (Strings{"deep", "empty"}));
    ClickNode(docs);
    EXPECT_EQ(Captions(), (Strings{"deep", "empty", "readme.txt"}));
    EXPECT_EQ(Row("readme.txt")->GetImageIndex(), 9);
    // Size and the space it takes in whole 2048-byte blocks.
    EXPECT_EQ(Row("readme.txt")->SubItems()->Strings(1), "1 KB");
    EXPECT_EQ(Row("readme.txt")->SubItems()->Strings(4), "2 KB");

    // Save (untitled: asks for a name, ".CIS" appended), then New, then Open it again.
    const std::string file = home_ + "/mine";
    Responder().ExpectFileDialog({file});
    w.MenuItem_MenuSaveContainer->OnClick(w.MenuItem_MenuSaveContainer);
    EXPECT_TRUE(fs::exists(file + ".CIS"));
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerSaved);
    EXPECT_EQ(w.IniData.DefaultContainer, file + ".CIS");
    EXPECT_FALSE(w.ContainerUntitled);

    ClickNode(w.MyContainerNode);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(Captions().empty());
    EXPECT_FALSE(w.MyContainerNode->HasChildren());
    EXPECT_TRUE(w.ContainerUntitled);

    Responder().ExpectFileDialog({file + ".CIS"});
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(Captions(), (Strings{"docs", "alpha.exe", "Zeta.ZIP"}));
    EXPECT_EQ(ChildTexts(Child(w.MyContainerNode, "docs")), (Strings{"deep", "empty"}));
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerSaved);
    EXPECT_EQ(MainContainer.GetTotalFileCount(MainContainer.GetRoot()), 4u);

    // A file that does not load leaves a new untitled container and says why.
    Responder().ExpectFileDialog({home_ + "/missing.CIS"});
    Responder().ExpectModal("Form1", Press("Cancel"));
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(w.ContainerUntitled);
    EXPECT_FALSE(w.MyContainerNode->HasChildren());
    EXPECT_EQ(w.IniData.DefaultContainer, file + ".CIS");
}

// Container files of the earlier program (texts in the code page), opened from the menu: one whose
// folder holds two names the same but for letter case is refused, naming both; one whose name
// holds a byte of no character of the code page loads with the byte shown, and says so, naming
// the file.
TEST_F(ContainerTest, OpeningCodePageFilesTellsWhatTheyHold) {
    TForm_Central& w = Window();
    const auto write = [&](const std::string& path, const std::vector<std::string>& names) {
        fixtures::Bytes b = fixtures::Header4(false);
        fixtures::Append(b, fixtures::EncodeR4({.attributes = 0x10010,
                                                .files = static_cast<std::uint32_t>(names.size()),
                                                .source = path,
                                                .name = "r"}));
        for (const std::string& name : names)
            fixtures::Append(b, fixtures::EncodeR4({.attributes = 0x20,
                                                    .size = 1,
                                                    .source = "/h/" + std::to_string(b.size()),
                                                    .name = name}));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    };
    const std::string twins = home_ + "/twins.CIS", marked = home_ + "/marked.CIS";
    write(twins, {"Readme.txt", "README.TXT"});
    write(marked, {"x\x81y.txt", "a\tb.txt"});

    std::string shown;
    const auto answer = [&](vcl::TForm& form) {
        shown = dynamic_cast<TForm1&>(form).Label1->GetCaption();
        Press("OK")(form);
    };
    Responder().ExpectFileDialog({twins});
    Responder().ExpectModal("Form1", answer);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_O, Qt::ControlModifier);
    EXPECT_NE(shown.find(twins + " was not loaded"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Readme.txt and README.TXT"), std::string::npos) << shown;
    EXPECT_TRUE(w.ContainerUntitled);
    EXPECT_FALSE(w.MyContainerNode->HasChildren());

    Responder().ExpectFileDialog({marked});
    Responder().ExpectModal("Form1", answer);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(w.ContainerUntitled);
    EXPECT_NE(shown.find(marked + ": 1 names or paths"), std::string::npos) << shown;
    EXPECT_NE(shown.find("CP1252"), std::string::npos) << shown;
    ClickNode(w.MyContainerNode);
    EXPECT_EQ(Captions(), (Strings{"a\tb.txt", "x\xEF\xBF\xBDy.txt"}));
}

// Names of 221 characters are taken, of 222 refused; a name that makes the path inside the
// container 255 characters is taken, 256 refused; files of 4 GiB - 1 byte are taken, 4 GiB
// refused. Each refusal is shown with the path, and Yes goes on with the next path.
TEST_F(ContainerTest, LimitsOnNamesPathsAndSizes) {
    struct Case {
        std::string name;
        std::uint64_t size;
        bool taken;
        std::string box; // what the refusal says
    };
    // Into the root: names and sizes. A file's name with the ";1" after it must fit an image's
    // directory record (221 bytes).
    const Case rootCases[] = {
        {std::string(219, 'a'), 1, true, ""},
        {std::string(220, 'e'), 1, false, "It is illegal in ISO format."},
        {std::string(222, 'd'), 1, false, "It is illegal in ISO format."},
        {"big", 0xFFFFFFFFull, true, ""},
        {"bigger", 0x100000000ull, false, "The file is too big."},
    };
    // Into a folder whose path inside the container is "My Container" + 40 characters (53):
    // 53 + 200 + 2 = 255 is taken, one more refused.
    const std::string folder(40, 'F');
    const Case folderCases[] = {
        {std::string(200, 'b'), 1, true, ""},
        {std::string(201, 'c'), 1, false, "Path in 'My Container' will over 255 characters."},
    };
    TForm_Central& w = Window();
    auto paste = [&](vcl::TTreeNode* target, const auto& cases, const std::string& dir) {
        std::vector<std::string> paths;
        Strings taken;
        for (const Case& c : cases) {
            paths.push_back(File(dir + "/" + c.name, c.size));
            if (c.taken)
                taken.push_back(c.name);
            else
                Responder().ExpectBox(c.box, vcl::IDYES);
        }
        ClickNode(target);
        PasteOnTree(paths);
        std::sort(taken.begin(), taken.end());
        Strings names = Names(static_cast<_CDH_CIS_RECORD_*>(target->GetData()));
        std::erase(names, folder);
        EXPECT_EQ(names, taken);
    };
    paste(w.MyContainerNode, rootCases, "root");
    // A virtual folder with a long name, made by New Folder and renamed in place.
    ClickNode(w.MyContainerNode);
    TypeIntoEditorLater(w.ListView, folder);
    w.MenuItem_MenuNewFolder->OnClick(w.MenuItem_MenuNewFolder);
    vcl::TTreeNode* target = Child(w.MyContainerNode, folder);
    ASSERT_NE(target, nullptr);
    paste(target, folderCases, "deep");

    // No to a refusal ends the run: what follows is not added.
    File("stop/" + std::string(230, 's'));
    File("stop/z.txt");
    Responder().ExpectBox("It is illegal in ISO format.", vcl::IDNO);
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/stop/" + std::string(230, 's'), host_ + "/stop/z.txt"});
    EXPECT_EQ(MainContainer.FindChildByName(MainContainer.GetRoot(), "z.txt"), nullptr);
}

// A host tree pasted onto a container folder that holds entries of the same names: "Yes to all"
// replaces the rest without asking; a file against a folder is never replaced, and "Yes to all"
// there skips the further conflicts; No on a refusal ends the run.
TEST_F(ContainerTest, MergeAnsweredToAll) {
    File("v1/x/a.txt", 1);
    File("v1/x/b.txt", 1);
    File("v1/x/c.txt", 1);
    File("v2/x/a.txt", 22);
    File("v2/x/b.txt", 22);
    File("v2/x/c.txt", 22);
    File("v2/x/d.txt", 22);
    Folder("v2/x/sub");
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/v1/x"});
    // The first namesake is the folder itself, then a.txt: Yes to all from a.txt on.
    Responder().ExpectModal("Form1", Press("Yes"));
    Responder().ExpectModal("Form1", Press("Yes To All"));
    PasteOnTree({host_ + "/v2/x"});
    vcl::TTreeNode* x = Child(w.MyContainerNode, "x");
    ASSERT_NE(x, nullptr);
    auto* folder = static_cast<_CDH_CIS_RECORD_*>(x->GetData());
    EXPECT_EQ(Names(folder), (Strings{"a.txt", "b.txt", "c.txt", "d.txt", "sub"}));
    for (auto* r = MainContainer.GetFirstChild(folder); r; r = MainContainer.GetNextSibling(r)) {
        if (!MainContainer.IsFolder(r)) {
            EXPECT_EQ(MainContainer.GetTotalSize(r), 22u) << MainContainer.GetDisplayName(r);
        }
    }
    EXPECT_EQ(ChildTexts(x), (Strings{"sub"}));

    // Files named like the container's folders: never replaced; Yes to all skips the rest.
    File("clash/x", 5);
    File("clash2/x", 5);
    Responder().ExpectModal("Form1", Press("Yes To All"));
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/clash/x", host_ + "/clash2/x"});
    EXPECT_TRUE(
        MainContainer.IsFolder(MainContainer.FindChildByName(MainContainer.GetRoot(), "x")));
}

// Files dropped from outside onto the tree's My Container node, and onto a shown folder's file
// row, go into that folder; only local files are taken.
TEST_F(ContainerTest, DropsFromAFileManager) {
    File("one.txt");
    File("two.txt");
    Folder("dir");
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    w.MyContainerNode->MakeVisible();
    const vcl::TRect r = w.MyContainerNode->DisplayRect(true);
    const QPoint at(r.Left + 3, (r.Top + r.Bottom) / 2);
    std::unique_ptr<QMimeData> mime(Urls({host_ + "/dir", host_ + "/one.txt"}));
    mime->setUrls(mime->urls() << QUrl("http://127.0.0.1/remote.txt"));
    QWidget* tree = Viewport(w.TreeView);
    {
        QDragEnterEvent e(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree, &e);
        EXPECT_TRUE(e.isAccepted());
    }
    {
        QDragMoveEvent e(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree, &e);
        EXPECT_TRUE(e.isAccepted());
    }
    {
        QDropEvent e(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree, &e);
    }
    EXPECT_EQ(Captions(), (Strings{"dir", "one.txt"}));

    // Onto the file row of the shown folder "dir": into "dir".
    ClickNode(Child(w.MyContainerNode, "dir"));
    ClickNode(w.MyContainerNode);
    vcl::TTreeNode* dir = Child(w.MyContainerNode, "dir");
    ClickNode(dir);
    std::unique_ptr<QMimeData> first(Urls({host_ + "/one.txt"}));
    QWidget* list = Viewport(w.ListView);
    auto dropOnList = [&](QMimeData* m, QPoint p) {
        QDragEnterEvent enter(p, Qt::CopyAction, m, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &enter);
        QDragMoveEvent move(p, Qt::CopyAction, m, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &move);
        QDropEvent drop(QPointF(p), Qt::CopyAction, m, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list, &drop);
    };
    dropOnList(first.get(), QPoint(20, 20));
    ASSERT_EQ(Captions(), (Strings{"one.txt"}));
    const vcl::TRect row = Row("one.txt")->DisplayRect();
    std::unique_ptr<QMimeData> second(Urls({host_ + "/two.txt"}));
    dropOnList(second.get(), QPoint(row.Left + 4, (row.Top + row.Bottom) / 2));
    EXPECT_EQ(Captions(), (Strings{"one.txt", "two.txt"}));
    EXPECT_EQ(Names(static_cast<_CDH_CIS_RECORD_*>(dir->GetData())),
              (Strings{"one.txt", "two.txt"}));
}

// A real drag with the left button: pressed at from, moved past the drag distance, moved over
// to and released there.
void DragTo(QWidget* fromView, QPoint from, QWidget* toView, QPoint to) {
    QTest::mousePress(fromView, Qt::LeftButton, {}, from);
    QTest::mouseMove(fromView, from + QPoint(0, 12));
    QTest::mouseMove(fromView, from + QPoint(0, 24));
    QTest::mouseMove(toView, to);
    QTest::mouseRelease(toView, Qt::LeftButton, {}, to);
}

QPoint Middle(const vcl::TRect& r) {
    return QPoint(r.Left + 6, (r.Top + r.Bottom) / 2);
}

// A folder node dragged onto its own parent is not taken; the right-click menu afterwards still
// offers the node's commands.
TEST_F(ContainerTest, ATreeDragThatMovesNothingLeavesTheRightClickMenuWhole) {
    Folder("p/inner");
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/p"});
    // The paste's wait page took the activation: the window gets it back.
    QApplication::setActiveWindow(UiTest::W(&w));
    vcl::TTreeNode* p = Child(w.MyContainerNode, "p");
    ASSERT_NE(p, nullptr);
    p->MakeVisible();
    QWidget* tree = Viewport(w.TreeView);
    DragTo(tree, Middle(p->DisplayRect(true)), tree, Middle(w.MyContainerNode->DisplayRect(true)));
    EXPECT_EQ(Names(MainContainer.GetRoot()), (Strings{"p"}));
    EXPECT_EQ(w.DraggedNode, nullptr);

    PopupScript popup;
    Strings shown;
    popup.during = [&] {
        vcl::TMenuItem* root = w.PopupMenu_RightClick->Items();
        for (int i = 0; i < root->Count(); ++i)
            if (root->Items(i)->GetVisible()) shown.push_back(root->Items(i)->Name);
    };
    const QPoint at = Middle(Child(w.MyContainerNode, "p")->DisplayRect(true));
    QTest::mousePress(tree, Qt::RightButton, {}, at);
    QTest::mouseRelease(tree, Qt::RightButton, {}, at);
    EXPECT_EQ(popup.shown, (Strings{"PopupMenu_RightClick"}));
    EXPECT_NE(std::find(shown.begin(), shown.end(), "MenuItem_RightRename"), shown.end());
}

// Rows dragged from the list onto a folder node move there; a namesake asks first (No keeps
// both); a folder node dragged onto another folder node moves with all it holds; a drag onto
// the folder itself or its parent is not taken.
TEST_F(ContainerTest, MovesByDraggingInsideTheWindow) {
    File("p/a.txt", 1);
    File("p/b.txt", 1);
    File("q/a.txt", 7);
    Folder("r/inner");
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/p", host_ + "/q", host_ + "/r"});
    vcl::TTreeNode* p = Child(w.MyContainerNode, "p");
    ASSERT_NE(p, nullptr);
    ClickNode(p);
    ASSERT_EQ(Captions(), (Strings{"a.txt", "b.txt"}));
    QWidget* list = Viewport(w.ListView);
    QWidget* tree = Viewport(w.TreeView);
    auto nodeAt = [&](const std::string& text) {
        vcl::TTreeNode* node = Child(w.MyContainerNode, text);
        node->MakeVisible();
        return Middle(node->DisplayRect(true));
    };
    auto rootRecord = [] { return MainContainer.GetRoot(); };

    DragTo(list, Middle(Row("b.txt")->DisplayRect()), tree, nodeAt("r"));
    EXPECT_EQ(Captions(), (Strings{"a.txt"}));
    EXPECT_EQ(Names(MainContainer.FindChildByName(rootRecord(), "r")), (Strings{"b.txt", "inner"}));
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerModified);

    Responder().ExpectModal("Form1", Press("No"));
    DragTo(list, Middle(Row("a.txt")->DisplayRect()), tree, nodeAt("q"));
    EXPECT_EQ(Captions(), (Strings{"a.txt"}));
    EXPECT_EQ(MainContainer.GetTotalSize(MainContainer.FindChildByName(
                  MainContainer.FindChildByName(rootRecord(), "q"), "a.txt")),
              7u);

    // Onto its own folder's node: not taken, nothing moves.
    DragTo(list, Middle(Row("a.txt")->DisplayRect()), tree, nodeAt("p"));
    EXPECT_EQ(Captions(), (Strings{"a.txt"}));

    // The folder node r (with b.txt and inner) onto q.
    DragTo(tree, nodeAt("r"), tree, nodeAt("q"));
    vcl::TTreeNode* q = Child(w.MyContainerNode, "q");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(ChildTexts(w.MyContainerNode), (Strings{"p", "q"}));
    EXPECT_EQ(ChildTexts(q), (Strings{"r"}));
    EXPECT_EQ(
        Names(MainContainer.FindChildByName(MainContainer.FindChildByName(rootRecord(), "q"), "r")),
        (Strings{"b.txt", "inner"}));
    EXPECT_FALSE(w.TreeDragging);
    EXPECT_FALSE(w.ListDragging);
}

// Rows of a folder dragged onto "My Container" itself move to its top level, a folder row with
// its node and everything in it; the rows left behind stay.
TEST_F(ContainerTest, RowsDraggedOntoMyContainerMoveToItsTopLevel) {
    File("p/a.txt", 1);
    File("p/b.txt", 1);
    File("p/sub/inner.txt", 5);
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/p"});
    Activate();
    vcl::TTreeNode* p = Child(w.MyContainerNode, "p");
    ASSERT_NE(p, nullptr);
    ClickNode(p);
    ASSERT_EQ(Captions(), (Strings{"sub", "a.txt", "b.txt"}));
    QWidget* list = Viewport(w.ListView);
    QWidget* tree = Viewport(w.TreeView);
    QTest::mouseClick(list, Qt::LeftButton, {}, Middle(Row("sub")->DisplayRect()));
    QTest::mouseClick(list, Qt::LeftButton, Qt::ControlModifier,
                      Middle(Row("a.txt")->DisplayRect()));
    ASSERT_EQ(w.ListView->SelCount(), 2);
    DragTo(list, Middle(Row("a.txt")->DisplayRect()), tree,
           Middle(w.MyContainerNode->DisplayRect(true)));

    EXPECT_EQ(Names(MainContainer.GetRoot()), (Strings{"a.txt", "p", "sub"}));
    EXPECT_EQ(Names(MainContainer.FindChildByName(MainContainer.GetRoot(), "sub")),
              Strings{"inner.txt"});
    EXPECT_EQ(ChildTexts(w.MyContainerNode), (Strings{"p", "sub"}));
    EXPECT_EQ(w.TreeView->GetSelected(), Child(w.MyContainerNode, "p"));
    EXPECT_EQ(Captions(), Strings{"b.txt"});
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerModified);
}

// Files copied in a file manager (a uri-list on the clipboard) are offered and pasted by Edit >
// Paste and by the right-click Paste, as by Ctrl+V; with no files on the clipboard Paste is not
// offered.
TEST_F(ContainerTest, PasteFromTheMenusTakesTheFilesOnTheClipboard) {
    File("one.txt");
    File("m/two.txt");
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    ASSERT_TRUE(w.TreeView->Focused());
    QClipboard* clipboard = QGuiApplication::clipboard();

    // The Edit menu, dropped down by its menu-bar button, and its Paste chosen.
    const auto editMenuPaste = [&](bool choose) {
        PopupScript popup;
        bool enabled = false;
        popup.during = [&] { enabled = w.MenuItem_MenuPaste->GetEnabled(); };
        popup.choose = choose ? w.MenuItem_MenuPaste : nullptr;
        QTest::mouseClick(UiTest::W(w.ToolButton_EditMenu), Qt::LeftButton);
        EXPECT_EQ(popup.shown, Strings{"PopupMenu_MenuEdit"});
        return enabled;
    };
    clipboard->setText("just text");
    EXPECT_FALSE(editMenuPaste(false));

    clipboard->setMimeData(Urls({host_ + "/one.txt"}));
    EXPECT_TRUE(editMenuPaste(true));
    EXPECT_EQ(Names(MainContainer.GetRoot()), Strings{"one.txt"});
    Activate();

    // The right-click menu on My Container, and its Paste chosen.
    clipboard->setMimeData(Urls({host_ + "/m"}));
    ClickNode(w.MyContainerNode);
    PopupScript popup;
    bool shown = false;
    popup.during = [&] { shown = w.MenuItem_RightPaste->GetVisible(); };
    popup.choose = w.MenuItem_RightPaste;
    const QPoint at = Middle(w.MyContainerNode->DisplayRect(true));
    QTest::mousePress(Viewport(w.TreeView), Qt::RightButton, {}, at);
    QTest::mouseRelease(Viewport(w.TreeView), Qt::RightButton, {}, at);
    EXPECT_EQ(popup.shown, Strings{"PopupMenu_RightClick"});
    EXPECT_TRUE(shown);
    EXPECT_EQ(Names(MainContainer.GetRoot()), (Strings{"m", "one.txt"}));
    EXPECT_EQ(ChildTexts(w.MyContainerNode), Strings{"m"});
}

// New Folder names "NewFolder", "NewFolder(1)", "NewFolder(2)" and opens the rename; a typed
// name loses trailing dots and blanks; a name of 222 characters is refused with the ISO warning
// (No keeps the old name); the same name after trimming changes nothing.
TEST_F(ContainerTest, NewFolderAndRenameByTyping) {
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    Activate();
    w.TreeView->SetFocus();
    for (int i = 0; i < 3; ++i) {
        TypeIntoEditorLater(w.ListView, i == 0   ? "NewFolder"
                                        : i == 1 ? "NewFolder(1)"
                                                 : "NewFolder(2)");
        w.MenuItem_MenuNewFolder->OnClick(w.MenuItem_MenuNewFolder);
    }
    EXPECT_EQ(Captions(), (Strings{"NewFolder", "NewFolder(1)", "NewFolder(2)"}));
    EXPECT_EQ(ChildTexts(w.MyContainerNode),
              (Strings{"NewFolder", "NewFolder(1)", "NewFolder(2)"}));
    EXPECT_EQ(w.MyContainerNode->GetImageIndex(), nkContainerModified);

    // F2 on a selected row, typed name with dots and blanks after it.
    ClickRow(Row("NewFolder(1)"));
    FocusList();
    TypeIntoEditorLater(w.ListView, "Music . . ");
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_F2);
    EXPECT_EQ(Captions(), (Strings{"Music", "NewFolder", "NewFolder(2)"}));
    EXPECT_EQ(ChildTexts(w.MyContainerNode), (Strings{"Music", "NewFolder", "NewFolder(2)"}));
    EXPECT_EQ(Names(MainContainer.GetRoot()), (Strings{"Music", "NewFolder", "NewFolder(2)"}));

    // 221 characters are taken; 222 are refused with the warning, and No keeps the old name.
    // (The renamed row stays selected: F2 renames it again. A click on it would start the
    // slow-click rename of its own.)
    const std::string ok(221, 'n');
    TypeIntoEditorLater(w.ListView, ok);
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_F2);
    ASSERT_NE(Row(ok), nullptr) << testing::PrintToString(Captions());
    TypeIntoEditorLater(w.ListView, std::string(222, 'n'));
    Responder().ExpectBox("The name is over 221 characters.", vcl::IDNO);
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_F2);
    EXPECT_NE(Row(ok), nullptr);
    EXPECT_NE(MainContainer.FindChildByName(MainContainer.GetRoot(), ok), nullptr);

    // A folder node renamed in the tree: a name taken by a sibling asks again (No restores).
    vcl::TTreeNode* node = Child(w.MyContainerNode, "NewFolder");
    ASSERT_NE(node, nullptr);
    TypeIntoEditorLater(w.TreeView, "newfolder(2)");
    Responder().ExpectModal("Form1", Press("No"));
    EXPECT_FALSE(w.RenameContainerNode(node));
    EXPECT_EQ(node->GetText(), "NewFolder");
    EXPECT_FALSE(w.RenameInProgress);
}

// A close asked for while a rename's editor is open ends the rename with the old name, and the
// window closes afterwards.
TEST_F(ContainerTest, CloseDuringRenameEndsItFirst) {
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    Activate();
    w.TreeView->SetFocus();
    TypeIntoEditorLater(w.ListView, "Kept");
    w.MenuItem_MenuNewFolder->OnClick(w.MenuItem_MenuNewFolder);
    vcl::TTreeNode* node = Child(w.MyContainerNode, "Kept");
    ASSERT_NE(node, nullptr);
    bool closed = false;
    w.OnClose = [&](vcl::TObject* s, vcl::TCloseAction& a) {
        closed = true;
        w.FormClose(s, a);
    };
    // Typing stops half-way; the close comes while the editor is open. The container question
    // of the close answers No.
    vcl::Application->Post([&] {
        QLineEdit* editor = OpenEditor(FocusTarget(w.TreeView));
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, "Half");
        w.Close();
    });
    Responder().ExpectModal("Form1", Press("No"));
    EXPECT_FALSE(w.RenameContainerNode(node));
    EXPECT_EQ(node->GetText(), "Kept");
    for (int i = 0; i < 20 && !closed; ++i)
        vcl::Application->ProcessMessages();
    EXPECT_TRUE(closed);
}

// Deleting file rows asks once for all of them; a selection of 120 CD images goes to the unit in
// requests of 50, 50 and 20 identifiers.
TEST_F(ContainerTest, DeleteRowsAndCdImagesInRoundsOfFifty) {
    File("p/1.txt");
    File("p/2.txt");
    File("p/3.txt");
    std::vector<nassim::ImageRecord> images;
    for (int i = 0; i < 120; ++i)
        images.push_back(Image("A/img" + std::to_string(1000 + i) + ".iso"));
    nassim::Unit& unit = AddUnit(1, "alpha", true, {"A"}, images);
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    PasteOnTree({host_ + "/p"});
    ClickNode(Child(w.MyContainerNode, "p"));
    FocusList();
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(w.ListView->SelCount(), 3);
    Responder().ExpectModal("Form1", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm1&>(form);
        EXPECT_NE(dialog.Label1->GetCaption().find("3 items"), std::string::npos)
            << dialog.Label1->GetCaption();
        Press("Yes")(form);
    });
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_Delete);
    EXPECT_TRUE(Captions().empty());
    EXPECT_EQ(MainContainer.GetTotalFileCount(MainContainer.GetRoot()), 0u);

    vcl::TTreeNode* alpha = Child(w.NasServersNode, "alpha");
    ASSERT_NE(alpha, nullptr);
    auto* server = Form_Central->UnitOf(alpha->GetData()).get();
    std::strcpy(server->UserName, "user");
    std::strcpy(server->Password, "pw");
    alpha->Expand(false);
    ClickNode(Child(alpha, "A"));
    ASSERT_EQ(w.ListView->Items()->Count(), 120);
    FocusList();
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_A, Qt::ControlModifier);
    Responder().ExpectModal("Form1", Press("Yes"));
    QTest::keyClick(FocusTarget(w.ListView), Qt::Key_Delete);
    std::vector<std::uint32_t> counts;
    for (const auto& request : unit.requestsFor(nassim::kCommandDeleteImage)) {
        ASSERT_TRUE(request.header.has_value());
        nassim::requests::Delete d;
        EXPECT_EQ(nassim::requests::DecodeDelete(request.bytes, *request.header, d), "");
        counts.push_back(static_cast<std::uint32_t>(d.imageIds.size()));
    }
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{50, 50, 20}));
    EXPECT_EQ(w.ListView->Items()->Count(), 0);
}

} // namespace
