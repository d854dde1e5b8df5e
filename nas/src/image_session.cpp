// The image-transfer session (start, data blocks, completion of each image, abort) and the
// one-request image calls: folder conversion and image deletion.
#include "call_deadline.h"
#include "nasapi.h"
#include "session.h"
#include "session_requests.h"

using namespace nas;

int NasApiCDHImgTransferStart(const uint32_t addrs[3], int* session, const NasImgRequest* request) {
    CallDeadline deadline;
    if (!addrs || !session || !request) return -1;
    auto data = BuildTransferRequest(*request);
    if (!data) return -1;
    Socket socket = OpenSessionSocket(addrs);
    if (!socket.valid()) return -1;
    int result = Exchange(socket.get(), command::kImgTransfer, subcode::kImgTransfer, data->data(),
                          data->size(), command::kImgTransfer);
    if (result != 0) return result;
    *session = socket.release();
    return 0;
}

int NasApiSendCDHImageData(int session, const void* data, int length) {
    CallDeadline deadline;
    return SendBlock(session, command::kImgTransfer, subcode::kImgData, data, length);
}

int NasApiCDHImgTransferComplete(int session, const NasImgDone* done) {
    CallDeadline deadline;
    if (!IsSessionHandle(session)) return -1;
    const auto data = BuildTransferDone(done);
    return Exchange(session, command::kImgTransferComplete, subcode::kImgData, data.data(),
                    data.size(), command::kImgTransferComplete);
}

int NasApiCDHImgTransferAbort(int session, int reason) {
    CallDeadline deadline;
    return SendAbort(session, command::kImgTransferAbort, reason);
}

int NasApiCDHImageConvertByImgFolder(const uint32_t addrs[3], const NasImgRequest* request) {
    CallDeadline deadline;
    if (!request) return -1;
    auto data = BuildConvertRequest(*request);
    if (!data) return -1;
    return OneRequest(addrs, command::kImgConvert, subcode::kImgConvert, data->data(),
                      data->size());
}

int NasApiDeleteCDImage(const uint32_t addrs[3], const NasImgRequest* request) {
    CallDeadline deadline;
    if (!request) return -1;
    auto data = BuildDeleteRequest(*request);
    if (!data) return -1;
    return OneRequest(addrs, command::kDeleteImage, subcode::kDeleteImage, data->data(),
                      data->size());
}
