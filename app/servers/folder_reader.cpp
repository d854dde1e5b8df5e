#include "folder_reader.h"

#include "nasserver.h"

#include "vcl/application.h"

#include <algorithm>
#include <cstring>

TFolderReader::TFolderReader(Done done, int threads) : done_(std::move(done)) {
    threads = std::max(threads, 1);
    threads_.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Run(); });
}

TFolderReader::~TFolderReader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        *alive_ = false;
    }
    gate_->Cancel(); // the reads under way finish on their own, unwatched
    wake_.notify_all();
    for (std::thread& thread : threads_)
        if (thread.joinable()) thread.join();
}

TFolderReader::HardwareAddress TFolderReader::KeyOf(const NasServerInfo& record) {
    HardwareAddress key{};
    std::memcpy(key.data(), record.hardwareAddress, key.size());
    return key;
}

bool TFolderReader::Queue(const NasServerInfo& record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        const HardwareAddress key = KeyOf(record);
        if (reading_.count(key)) return true;
        auto same = std::find_if(queue_.begin(), queue_.end(),
                                 [&](const NasServerInfo& queued) { return KeyOf(queued) == key; });
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

std::size_t TFolderReader::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size() + reading_.size() + delivering_;
}

TFolderReader::Answer TFolderReader::Read(const NasServerInfo& record) {
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
    return answer;
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
            reading_.insert(KeyOf(record));
        }
        // The read runs on a worker of its own that this thread may stop waiting for.
        auto answer = std::make_shared<Answer>();
        const bool finished =
            RunBounded([answer, record] { *answer = Read(record); }, kReadWait, gate_);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        // Not being read any more: a refresh from now on asks again.
        reading_.erase(KeyOf(record));
        if (!finished) continue; // given up: the unit shows no folders until a later read
        ++delivering_;
        std::weak_ptr<bool> alive = alive_;
        vcl::Application->Post([this, alive, answer] {
            const auto token = alive.lock();
            if (!token || !*token) return;
            {
                std::lock_guard<std::mutex> delivered(mutex_);
                --delivering_;
            }
            done_(*answer);
        });
    }
}
