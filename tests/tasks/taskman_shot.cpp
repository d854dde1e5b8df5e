// Not a test: pictures of the task manager with tasks under way and of a long task report, for
// screenshots under a virtual X server:
//   taskman_shot OUT_DIR    writes OUT_DIR/taskman.png and OUT_DIR/report.png
// The language follows the locale. The tasks send to a simulated unit on loopback that answers
// each data message late, so that the upload is still running when the picture is taken.
#include "fmmsg.h"
#include "msgbox.h"
#include "nasserver.h"
#include "nassim.h"
#include "netconfig.h"
#include "record_worker.h"
#include "task_codes.h"
#include "task_report.h"
#include "taskman.h"
#include "upload_worker.h"

#include "clock/clock.h"
#include "vcl/application.h"
#include "vcl/testing/form_shot.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

void SetText(char* field, std::size_t width, const std::string& text) {
    std::snprintf(field, width, "%s", text.c_str());
}

void Pump(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        vcl::Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string outDir = argv[1];
    vcl::TApplication application(argc, argv);
    SelectLanguage();
    vcl::testing::OkDialogHost boxes;
    vcl::SetDialogHost(&boxes);

    nas::NetConfig net = nas::NetConfig::Defaults();
    net.broadcastAddress = nassim::kLoopbackBroadcast;
    net.tcpPort = nassim::FreeTcpPort();
    nas::SetNetConfig(net);
    nassim::UnitConfig config;
    config.address = nassim::Ipv4(127, 0, 0, 2);
    config.tcpPort = net.tcpPort;
    config.udpPort = 0;
    config.name = "DEMONAS";
    nassim::Unit unit(config);
    nassim::CommandFault slow;
    slow.command = nassim::kCommandMirrorData;
    slow.delay = std::chrono::milliseconds(150);
    unit.addCommandFault(slow);
    const auto server = [&] {
        auto copy = std::make_shared<CNasServer>();
        copy->Info.ipAddress[0] = unit.address();
        std::snprintf(copy->Info.name, sizeof copy->Info.name, "DEMONAS");
        return copy;
    };
    const std::string iso = outDir + "/holiday-2024.iso";
    std::ofstream(iso, std::ios::binary) << std::string(8 << 20, 'x');

    FmMsg = vcl::MakeForm<TFmMsg>(&application);
    auto* taskman = vcl::MakeForm<TFmTaskMan>(&application);
    taskman->Show();
    const auto upload = [&](const std::string& image, bool paused) {
        TaskRecord* task = taskman->CreateTask({}, TaskFinished, UploadTaskExecute);
        task->kind = task_kind::Upload;
        task->nas = server();
        task->imagePath = iso;
        task->imageSizeKb = 8 << 10;
        SetText(task->request.folderName, sizeof task->request.folderName, "Movies");
        SetText(task->request.imageName, sizeof task->request.imageName, image);
        if (paused) task->SetPaused(true);
        taskman->AddTask(task);
    };
    upload("HOLIDAY_2024", false);
    upload("GARDEN_PARTY", true);
    TaskRecord* record = taskman->CreateTask({}, RecordTaskFinished, RecordTaskExecute);
    record->kind = task_kind::Record;
    record->nas = server();
    record->recordFlags = 1;
    record->scheduled = 1;
    record->startTime = platform::Now() + std::chrono::hours(26);
    SetText(record->request.folderName, sizeof record->request.folderName, "Music");
    SetText(record->request.imageName, sizeof record->request.imageName, "ALBUM_COLLECTION");
    taskman->AddTask(record);
    Pump(std::chrono::milliseconds(4500));
    bool ok = vcl::testing::SaveFormPicture(*taskman, outDir + "/taskman.png");

    // The report of a mirror that met unreadable sectors, with a long target.
    TaskRecord failed;
    failed.kind = task_kind::Mirror;
    failed.nas = server();
    failed.status = task_status::Failed;
    failed.errorCode = task_error::ReadFailed41;
    failed.failedLba = 0x3A2F0;
    failed.failedRun = 16;
    failed.failedPasses = 4;
    SetText(failed.request.folderName, sizeof failed.request.folderName,
            "Backup of the family photo discs");
    SetText(failed.request.imageName, sizeof failed.request.imageName,
            "PHOTOS_2023_SUMMER_HOLIDAY");
    for (unsigned lba : {238320u, 238336u, 238352u})
        failed.notes.push_back(FormatText(
            "%u sector(s) at LBA %u could not be read and were sent as zeros.", 16u, lba));
    const TaskReport composed = ComposeTaskReport(failed, 0);
    TFmMsg* report = TFmMsg::OpenReport(composed.caption, composed.text, composed.icon);
    ok = vcl::testing::SaveFormPicture(*report, outDir + "/report.png") && ok;

    vcl::Free(taskman);
    std::remove(iso.c_str());
    return ok ? 0 : 1;
}
