#include "folder_reader.h"

#include "nasserver.h"

#include "vcl/application.h"

#include <algorithm>
#include <cstring>

TFolderReader::TFolderReader(Done done) : done_(std::move(done)) {
    thread_ = std::thread([this] { Run(); });
}

TFolderReader::~TFolderReader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        *alive_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool TFolderReader::Queue(const NasServerInfo& record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto same = std::find_if(queue_.begin(), queue_.end(), [&](const NasServerInfo& queued) {
            return std::memcmp(queued.hardwareAddress, record.hardwareAddress,
                               sizeof record.hardwareAddress) == 0;
        });
        if (same != queue_.end()) {
            *same = record;
            return true;
        }
        if (queue_.size() >= kQueueMax) return false;
        queue_.push_back(record);
    }
    wake_.notify_one();
    return true;
}

void TFolderReader::Run() {
    for (;;) {
        NasServerInfo record{};
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            record = queue_.front();
            queue_.pop_front();
        }
        // A copy of the unit's record of its own: the window's object is never touched here.
        auto probe = std::make_unique<CNasServer>();
        probe->Info = record;
        Answer answer;
        answer.Record = record;
        answer.Result = probe->GetImgFolders(answer.Count, probe->ImgFolders);
        if (answer.Result != 0) answer.Count = 0;
        answer.Folders.assign(&probe->ImgFolders[0][0],
                              &probe->ImgFolders[0][0] +
                                  static_cast<std::size_t>(answer.Count) * NAS_IMG_FOLDER_SIZE);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        std::weak_ptr<bool> alive = alive_;
        vcl::Application->Post([this, alive, answer = std::move(answer)] {
            const auto token = alive.lock();
            if (token && *token) done_(answer);
        });
    }
}
