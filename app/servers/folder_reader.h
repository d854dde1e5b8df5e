// TFolderReader: reads the image folders of announced units on a thread of its own, so that no
// announcement makes the GUI thread wait on the address it names. Each unit is queued at most
// once, the queue is bounded, and each answer is handed to the GUI thread.
#pragma once

#include "nasapi.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TFolderReader {
public:
    // What one read found: the record it was asked with, the library's result and the folders
    // (each NAS_IMG_FOLDER_SIZE bytes, the name at byte 8).
    struct Answer {
        NasServerInfo Record{};
        int Result = 0;
        int Count = 0;
        std::vector<char> Folders; // Count * NAS_IMG_FOLDER_SIZE bytes
    };
    using Done = std::function<void(const Answer&)>;
    static constexpr std::size_t kQueueMax = NAS_FIND_SERVER_MAX;

    // done runs on the GUI thread, never after the reader is destroyed.
    explicit TFolderReader(Done done);
    // Drops what is still queued and waits for the read in progress.
    ~TFolderReader();
    TFolderReader(const TFolderReader&) = delete;
    TFolderReader& operator=(const TFolderReader&) = delete;

    // Queues a read for the unit of record; false when the queue is full. A unit already queued
    // is asked once, with its latest record.
    bool Queue(const NasServerInfo& record);

private:
    void Run();

    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<NasServerInfo> queue_;
    bool stopping_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::thread thread_;
};
