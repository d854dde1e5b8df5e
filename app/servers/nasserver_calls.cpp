// CNasServer: the access-library calls on one unit, and the pending-task query.
#include "nasserver.h"

#include "fmmsg.h"

#include "vcl/application.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

int CNasServer::GetImgFolders(int& count, char (*folders)[NAS_IMG_FOLDER_SIZE]) {
    count = 0;
    LastResult = NasApiGetImgFolders(Addresses(), &count, folders);
    count = std::clamp(count, 0, kImgFolderMax);
    return LastResult;
}

int CNasServer::RefreshImageFolders() {
    if (!HasCdMirror()) return 0;
    return GetImgFolders(ImgFolderCount, ImgFolders);
}

int CNasServer::GetImgList(int& count, NasImgInfo* records) {
    unsigned received = 0;
    LastResult = NasApiGetImgList(Addresses(), &received, records);
    count = static_cast<int>(std::min<unsigned>(received, NAS_IMG_INFO_MAX));
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
    LastResult = NasApiRemoteCDBurning(Addresses(), info, CharsetMode());
    return LastResult;
}

int CNasServer::GetCdBurningStat(const std::uint32_t job[2], NasCDBurningStat* status) {
    LastResult = NasApiGetCDBurningStat(Addresses(), job, status);
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
    LastResult = NasApiCDHImageConvertByImgFolder(Addresses(), request);
    return LastResult;
}

int CNasServer::DeleteCdImage(const NasImgRequest* request) {
    LastResult = NasApiDeleteCDImage(Addresses(), request);
    return LastResult;
}

int CNasServer::SetConfig(int value, const char* path) {
    // The stored password, read no further than its field.
    const std::string password(Password, strnlen(Password, sizeof Password));
    LastResult =
        NasApiSetConfig(Addresses(), password.c_str(), kConfigPassword, value, path ? path : "");
    return LastResult;
}

int CNasServer::GetConfig(const char* path) {
    LastResult = NasApiGetConfig(Addresses(), path ? path : "", "");
    return LastResult;
}

int CNasServer::GetPendingTasks(bool show) {
    int status = 0;
    int count = 0;
    int value = 0;
    NasTaskInfo* list = NasApiGetTask(Addresses(), &status, &count, &value);
    // The array is freed whatever count came with it; the library hands none out with count 0.
    auto release = [&] {
        if (list) NasApiDeleteTaskInfo(static_cast<unsigned>(std::max(count, 1)), list);
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
