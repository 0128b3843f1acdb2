// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <vector>

namespace web
{

/// A QR code as its modules: `size` by `size`, row by row, true for a dark module. Empty
/// (size 0) when the text does not fit a QR code.
struct QrCode {
    int size = 0;
    std::vector<bool> dark;
    bool at(int x, int y) const { return dark[static_cast<size_t>(y * size + x)]; }
};

/// The QR code of `text` (UTF-8) at error correction level M, the smallest version it fits.
QrCode EncodeQr(const QByteArray &text);

} // namespace web
