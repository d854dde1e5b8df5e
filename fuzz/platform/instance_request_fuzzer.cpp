// The line a later start sends to the single-instance socket, arriving in pieces: the first
// instance waits for the line's end, shows itself only for the exact show request and cuts a
// connection that sends more than a short line without an end.
//
// Input: pieces, each [u8 length][bytes], appended to what the connection has delivered.
#include "vcl/single_instance.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray delivered;
    QBuffer connection(&delivered);
    connection.open(QIODevice::ReadWrite);
    qint64 readAt = 0;
    for (std::size_t at = 0; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        const QByteArray piece(reinterpret_cast<const char*>(data + at + 1),
                               static_cast<qsizetype>(length));
        at += 1 + length;
        // Append the piece without moving the read position.
        connection.seek(delivered.size());
        connection.write(piece);
        connection.seek(readAt);
        const QByteArray pending = delivered.mid(readAt);
        const vcl::TInstanceRequest request = vcl::ReadInstanceRequest(connection);
        const qsizetype end = pending.indexOf('\n');
        switch (request) {
        case vcl::TInstanceRequest::Wait:
            if (end >= 0 || pending.size() > 64) __builtin_trap();
            break;
        case vcl::TInstanceRequest::TooLong:
            if (end >= 0 || pending.size() <= 64) __builtin_trap();
            return 0;
        case vcl::TInstanceRequest::Show:
            if (!pending.startsWith("show\n")) __builtin_trap();
            return 0;
        case vcl::TInstanceRequest::Other:
            if (end < 0 || pending.startsWith("show\n")) __builtin_trap();
            return 0;
        }
        readAt = connection.pos();
    }
    return 0;
}
