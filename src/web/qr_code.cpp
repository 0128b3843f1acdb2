// SPDX-License-Identifier: MIT
#include "web/qr_code.h"

#include <memory>

#include <qrencode.h>

namespace web
{

QrCode EncodeQr(const QByteArray &text)
{
    QrCode code;
    // libqrencode reads a C string: text with a NUL inside cannot be encoded whole.
    if (text.isEmpty() || text.contains('\0')) {
        return code;
    }
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> encoded(
        QRcode_encodeString(text.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!encoded) {
        return code;
    }
    code.size = encoded->width;
    code.dark.resize(static_cast<size_t>(code.size) * static_cast<size_t>(code.size));
    for (size_t i = 0; i < code.dark.size(); ++i) {
        code.dark[i] = (encoded->data[i] & 1u) != 0; // the low bit marks a dark module
    }
    return code;
}

} // namespace web
