// CNasServer: the access-library calls on one unit, and the pending-task query.
#include "nasserver.h"

#include "fmmsg.h"
#include "unit_call.h"

#include "vcl/application.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

int CNasServer::GetImgFolders(int& count, char (*folders)[NAS_IMG_FOLDER_SIZE]) {
    count = 0;
    // The worker writes into buffers of its own: a call given up may still answer later.
    struct Out {
        int count = 0;
        char folders[kImgFolderMax][kImgFolderSize] = {};
    };
    auto out = std::make_shared<Out>();
    LastResult = RunUnitCall(
        GetName(),
        [out, addresses = AddressCopy()] {
            return NasApiGetImgFolders(addresses.data(), &out->count, out->folders);
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    if (LastResult != NAS_RESULT_TIMEOUT) {
        count = std::clamp(out->count, 0, kImgFolderMax);
        std::memcpy(folders, out->folders, static_cast<std::size_t>(count) * kImgFolderSize);
    }
    return LastResult;
}

int CNasServer::RefreshImageFolders() {
    if (!HasCdMirror()) return 0;
    return GetImgFolders(ImgFolderCount, ImgFolders);
}

int CNasServer::GetImgList(int& count, NasImgInfo* records) {
    count = 0;
    auto out = std::make_shared<std::vector<NasImgInfo>>(NAS_IMG_INFO_MAX);
    auto outCount = std::make_shared<unsigned>(0);
    LastResult = RunUnitCall(
        GetName(),
        [out, outCount, addresses = AddressCopy()] {
            return NasApiGetImgList(addresses.data(), outCount.get(), out->data());
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    if (LastResult == NAS_RESULT_TIMEOUT) return LastResult;
    count = static_cast<int>(std::min<unsigned>(*outCount, NAS_IMG_INFO_MAX));
    std::copy(out->begin(), out->begin() + count, records);
    return LastResult;
}

int CNasServer::MirrorStart(const NasCDTable* table, NasMirrorInfo* info, int utf8Folder) {
    int session = 0;
    LastResult = NasApiMirrorStart(Addresses(), &session, table, info, CharsetMode(), utf8Folder);
    if (LastResult == 0 && session > 0) {
        CloseDataSocket(); // an earlier session still open here would otherwise be lost
        dataSocket_ = session;
    }
    return LastResult;
}

int CNasServer::SendCdData(const void* data, int length) {
    if (dataSocket_ == 0) return -1;
    LastResult = NasApiSendCDData(dataSocket_, data, length);
    return LastResult;
}

int CNasServer::MirrorComplete() {
    if (dataSocket_ == 0) return -1;
    LastResult = NasApiMirrorComplete(dataSocket_);
    // A completed mirror (0) has closed the session inside the library.
    if (LastResult != 0) ::close(dataSocket_);
    dataSocket_ = 0;
    return LastResult;
}

int CNasServer::MirrorAbort(int reason) {
    if (dataSocket_ == 0) return -1;
    LastResult = NasApiMirrorAbort(dataSocket_, reason);
    CloseDataSocket();
    return LastResult;
}

int CNasServer::RemoteCdBurning(NasBurnInfo* info) {
    if (!UnitCallsWait() || !info) {
        LastResult = NasApiRemoteCDBurning(Addresses(), info, CharsetMode());
        return LastResult;
    }
    auto shared = std::make_shared<NasBurnInfo>(*info);
    LastResult = RunUnitCall(
        GetName(),
        [shared, addresses = AddressCopy(), mode = CharsetMode()] {
            return NasApiRemoteCDBurning(addresses.data(), shared.get(), mode);
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    if (LastResult != NAS_RESULT_TIMEOUT) *info = *shared;
    return LastResult;
}

int CNasServer::GetCdBurningStat(const std::uint32_t job[2], NasCDBurningStat* status) {
    if (!UnitCallsWait() || !job) {
        LastResult = NasApiGetCDBurningStat(Addresses(), job, status);
        return LastResult;
    }
    auto shared = std::make_shared<NasCDBurningStat>();
    const std::array<std::uint32_t, 2> jobCopy{job[0], job[1]};
    const bool wanted = status != nullptr;
    LastResult = RunUnitCall(
        GetName(),
        [shared, jobCopy, wanted, addresses = AddressCopy()] {
            return NasApiGetCDBurningStat(addresses.data(), jobCopy.data(),
                                          wanted ? shared.get() : nullptr);
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    if (LastResult != NAS_RESULT_TIMEOUT && status) *status = *shared;
    return LastResult;
}

int CNasServer::ImageTransferStart(const NasImgRequest* request) {
    int session = 0;
    LastResult = NasApiCDHImgTransferStart(Addresses(), &session, request);
    if (LastResult == 0 && session > 0) {
        CloseDataSocket();
        dataSocket_ = session;
    }
    return LastResult;
}

int CNasServer::SendImageData(const void* data, int length) {
    if (dataSocket_ == 0) return -1;
    LastResult = NasApiSendCDHImageData(dataSocket_, data, length);
    return LastResult;
}

int CNasServer::ImageTransferComplete(const NasImgDone* done) {
    if (dataSocket_ == 0) return -1;
    LastResult = NasApiCDHImgTransferComplete(dataSocket_, done);
    return LastResult;
}

int CNasServer::ImageTransferAbort(int reason) {
    if (dataSocket_ == 0) return -1;
    LastResult = NasApiCDHImgTransferAbort(dataSocket_, reason);
    CloseDataSocket();
    return LastResult;
}

int CNasServer::ConvertImageFolder(const NasImgRequest* request) {
    if (!request) return LastResult = NasApiCDHImageConvertByImgFolder(Addresses(), request);
    LastResult = RunUnitCall(
        GetName(),
        [copy = *request, addresses = AddressCopy()] {
            return NasApiCDHImageConvertByImgFolder(addresses.data(), &copy);
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    return LastResult;
}

int CNasServer::DeleteCdImage(const NasImgRequest* request) {
    if (!request) return LastResult = NasApiDeleteCDImage(Addresses(), request);
    LastResult = RunUnitCall(
        GetName(),
        [copy = *request, addresses = AddressCopy()] {
            return NasApiDeleteCDImage(addresses.data(), &copy);
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    return LastResult;
}

int CNasServer::SetConfig(int value, const char* path) {
    // The stored password, read no further than its field.
    LastResult = RunUnitCall(
        GetName(),
        [password = std::string(Password, strnlen(Password, sizeof Password)), value,
         file = std::string(path ? path : ""), addresses = AddressCopy()] {
            return NasApiSetConfig(addresses.data(), password.c_str(), kConfigPassword, value,
                                   file.c_str());
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    return LastResult;
}

int CNasServer::GetConfig(const char* path) {
    LastResult = RunUnitCall(
        GetName(),
        [file = std::string(path ? path : ""), addresses = AddressCopy()] {
            return NasApiGetConfig(addresses.data(), file.c_str(), "");
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    return LastResult;
}

namespace {

// One answer of the task query; the array goes with it whatever count came with it (the library
// hands none out with count 0), also when nobody waits for the answer any more.
struct TaskAnswer {
    int status = 0;
    int count = 0;
    int value = 0;
    NasTaskInfo* list = nullptr;
    TaskAnswer() = default;
    TaskAnswer(const TaskAnswer&) = delete;
    TaskAnswer& operator=(const TaskAnswer&) = delete;
    ~TaskAnswer() { Release(); }
    void Release() {
        if (list) NasApiDeleteTaskInfo(static_cast<unsigned>(std::max(count, 1)), list);
        list = nullptr;
    }
};

} // namespace

int CNasServer::GetPendingTasks(bool show) {
    auto answer = std::make_shared<TaskAnswer>();
    const bool answered = RunUnitCall(
        GetName(),
        [answer, addresses = AddressCopy()] {
            answer->list =
                NasApiGetTask(addresses.data(), &answer->status, &answer->count, &answer->value);
            return true;
        },
        false);
    if (!answered) {
        answer = std::make_shared<TaskAnswer>();
        answer->status = -1; // no answer in time: the query failed
    }
    const int status = answer->status;
    const int count = answer->count;
    NasTaskInfo* list = answer->list;
    auto release = [&] {
        answer->Release();
        list = nullptr;
    };

    if (!IsFlag31Clear()) {
        release();
        return 0;
    }
    if (!show && status == 0 && count > 0) {
        release();
        return count;
    }
    if (!FmMsg) FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
    FmMsg->PageControl_Msg->SetActivePage(FmMsg->TabSheet_TaskInfo);
    if (status != 0) {
        release();
        return -1;
    }
    if (count <= 0) {
        release();
        return 0;
    }
    // A unit may announce tasks without sending their records: then only the count is shown.
    const std::string name = GetName();
    FmMsg->ShowCriticalTasks(static_cast<unsigned>(count), list, name.c_str());
    release();
    return count;
}
