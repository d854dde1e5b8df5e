#include "remote_prober.h"

#include "nasserver.h"

#include "vcl/application.h"

#include <algorithm>

TRemoteProber::TRemoteProber(Done done, int threads) : done_(std::move(done)) {
    threads = std::max(threads, 1);
    threads_.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Run(); });
}

TRemoteProber::~TRemoteProber() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        *alive_ = false;
    }
    gate_->Cancel(); // the probes under way finish on their own, unwatched
    wake_.notify_all();
    for (std::thread& thread : threads_)
        if (thread.joinable()) thread.join();
}

bool TRemoteProber::Queue(std::uint32_t address) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return false;
        if (busy_.count(address)) return true;
        if (queue_.size() >= kQueueMax) return false;
        queue_.push_back(address);
        busy_.insert(address);
    }
    wake_.notify_one();
    return true;
}

std::size_t TRemoteProber::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return busy_.size();
}

TRemoteProber::Answer TRemoteProber::Probe(std::uint32_t address) {
    Answer answer;
    answer.Address = address;
    const std::uint32_t addresses[NAS_ADDRESS_COUNT] = {address, 0, 0};
    answer.Result = NasApiGetRemoteInfo(addresses, &answer.Record);
    if (answer.Result != 0) return answer;
    // A copy of the unit of its own: the window's objects are never touched here.
    auto probe = std::make_unique<CNasServer>();
    probe->Info = answer.Record;
    probe->RemoteFlag = 1;
    if (!probe->HasCdMirror()) return answer;
    answer.FolderResult = probe->GetImgFolders(answer.FolderCount, probe->ImgFolders);
    if (answer.FolderResult != 0) answer.FolderCount = 0;
    answer.Folders.assign(&probe->ImgFolders[0][0],
                          &probe->ImgFolders[0][0] +
                              static_cast<std::size_t>(answer.FolderCount) * NAS_IMG_FOLDER_SIZE);
    return answer;
}

void TRemoteProber::Run() {
    for (;;) {
        std::uint32_t address = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            address = queue_.front();
            queue_.erase(queue_.begin());
        }
        // The probe runs on a worker of its own that this thread may stop waiting for; a probe
        // given up answers as an address that did not answer.
        auto answer = std::make_shared<Answer>();
        answer->Address = address;
        const std::uint32_t asked = address;
        const bool finished =
            RunBounded([answer, asked] { *answer = Probe(asked); }, kProbeWait, gate_);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        // Not busy any more once the answer is on its way: a refresh from now on asks again.
        busy_.erase(address);
        if (!finished) {
            answer = std::make_shared<Answer>();
            answer->Address = address;
        }
        std::weak_ptr<bool> alive = alive_;
        vcl::Application->Post([this, alive, answer] {
            const auto token = alive.lock();
            if (token && *token) done_(*answer);
        });
    }
}
