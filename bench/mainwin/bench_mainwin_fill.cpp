// The main window's two big fills, offscreen, each beside a plain Qt item-model fill of the same
// rows in the same iteration:
// - the list of an image folder with 4,096 image rows (the image-row filler, then the sort that
//   ends every fill) against a QStandardItemModel in a QTreeView given the same five texts per
//   row and sorted by the first column;
// - the tree with a container of 10,000 folders (one node per folder record, then the children
//   sorted by text) against 10,000 items under one QStandardItem, sorted.
// The counter "ratio" is our time over the plain fill's (goal: 2 or less).
#include "listview_sort.h"
#include "nasserver.h"
#include "server_lists.h"
#include "server_nodes.h"

#include "container.h"

#include "vcl/application.h"
#include "vcl/form.h"
#include "vcl/list_view.h"
#include "vcl/tree_view.h"

#include <QStandardItemModel>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The application object of the run, made and destroyed by main around the benchmarks (a static
// one would be torn down after exit has begun, when Qt's own globals are already gone).
vcl::TApplication* application = nullptr;

vcl::TApplication& App() {
    return *application;
}

void Report(benchmark::State& state, double ours, double plain) {
    state.counters["ours_ms"] = ours * 1000 / static_cast<double>(state.iterations());
    state.counters["qt_ms"] = plain * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / plain;
    state.counters["goal_max"] = 2;
}

std::vector<NasImgInfo> Images(int count) {
    std::vector<NasImgInfo> images(count);
    for (int i = 0; i < count; ++i) {
        NasImgInfo& r = images[i];
        // Names in an order that the sort has to change.
        const std::string name = "image-" + std::to_string((i * 7919) % count) + ".iso";
        const std::string path = "F/" + name;
        std::memcpy(r.name, name.data(), name.size());
        std::memcpy(r.path, path.data(), path.size());
        r.state = 1;
        r.fileSystem = 1;
        r.size = static_cast<std::uint32_t>(1000 + i * 37);
    }
    return images;
}

void BM_ImageList4096(benchmark::State& state) {
    App();
    vcl::TForm form(nullptr);
    auto* list = new vcl::TListView(&form);
    list->SetParent(&form);
    list->SetViewStyle(vcl::vsReport);
    for (const char* title : {"Volume Label", "File Path", "Size", "Status", "File System"})
        list->Columns()->Add()->SetCaption(title);
    form.Show();
    QTreeView view;
    view.show();
    CNasServer server;
    server.ImgFolderCount = 1;
    std::strcpy(server.ImgFolders[0] + 8, "F");
    std::vector<NasImgInfo> images = Images(4096);

    double ours = 0, plain = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        list->Items()->BeginUpdate();
        list->Items()->Clear();
        AddImageRows(list, images, "F", server);
        SortListRows(list);
        list->Items()->EndUpdate();
        App().ProcessMessages();
        const double t1 = Since(start);
        if (list->Items()->Count() != 4096) state.SkipWithError("rows missing");

        start = Clock::now();
        auto* model = new QStandardItemModel(0, 5, &view);
        for (const NasImgInfo& image : images) {
            const ImageRowTexts t = GetImageRowTexts(image, 0);
            QList<QStandardItem*> row;
            for (const std::string* text : {&t.Name, &t.Path, &t.Size, &t.State, &t.FileSystem})
                row.append(new QStandardItem(QString::fromStdString(*text)));
            model->appendRow(row);
        }
        model->sort(0);
        QAbstractItemModel* old = view.model();
        view.setModel(model);
        delete old;
        App().ProcessMessages();
        const double t2 = Since(start);

        ours += t1;
        plain += t2;
        state.SetIterationTime(t1 + t2);
    }
    Report(state, ours, plain);
}
BENCHMARK(BM_ImageList4096)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ContainerTree10000(benchmark::State& state) {
    App();
    vcl::TForm form(nullptr);
    auto* tree = new vcl::TTreeView(&form);
    tree->SetParent(&form);
    form.Show();
    QTreeView view;
    view.show();
    MIRROR_CONTAINER container;
    MIRROR_CONTAINER::Record* root = container.NewContainer();
    std::vector<MIRROR_CONTAINER::Record*> folders;
    for (int i = 0; i < 10000; ++i)
        folders.push_back(
            container.NewFolder(root, "folder " + std::to_string((i * 7919) % 10000)));
    if (!root || !folders.back()) {
        state.SkipWithError("the container could not be made");
        return;
    }

    double ours = 0, plain = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        vcl::TTreeNodes* nodes = tree->Items();
        nodes->BeginUpdate();
        nodes->Clear();
        vcl::TTreeNode* top = nodes->AddChild(nullptr, "My Container");
        for (MIRROR_CONTAINER::Record* folder : folders) {
            vcl::TTreeNode* node = nodes->AddChild(top, container.GetDisplayName(folder));
            node->SetImageIndex(5);
            node->SetSelectedIndex(6);
            node->SetData(folder);
        }
        SortChildrenByText(top);
        nodes->EndUpdate();
        top->Expand(false);
        App().ProcessMessages();
        const double t1 = Since(start);

        start = Clock::now();
        auto* model = new QStandardItemModel(&view);
        auto* item = new QStandardItem(QStringLiteral("My Container"));
        for (MIRROR_CONTAINER::Record* folder : folders)
            item->appendRow(
                new QStandardItem(QString::fromStdString(container.GetDisplayName(folder))));
        model->appendRow(item);
        model->sort(0);
        QAbstractItemModel* old = view.model();
        view.setModel(model);
        delete old;
        view.expand(model->index(0, 0));
        App().ProcessMessages();
        const double t2 = Since(start);

        ours += t1;
        plain += t2;
        state.SetIterationTime(t1 + t2);
    }
    Report(state, ours, plain);
}
BENCHMARK(BM_ContainerTree10000)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    vcl::TApplication app;
    application = &app;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    application = nullptr;
    return 0;
}
