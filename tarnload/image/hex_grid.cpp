#include "image/hex_grid.h"

#include <algorithm>

#include "image/hex_digits.h"

namespace tarn {

void HexGrid::fill(const CodeImage& image) {
    len_ = std::min(image.data_len, CodeImage::kSize - 1);
    data_rows_ = data_rows_for(image.data_len);
    cells_ = image.rom_data;
    chars_ = image.rom_data;
}

int32_t HexGrid::column_width_twips(int32_t col) {
    if (col == 0) return 800;
    if (col == kCharCol) return 2000;
    return (col == 4 || col == 8 || col == 12) ? 400 : 300;
}

std::string HexGrid::header_text(int32_t col) {
    if (col == 0) return "  地址：";
    if (col == kCharCol) return "      ASICC     ";
    return hex2(static_cast<uint8_t>(col - 1));
}

std::string HexGrid::cell_text(int32_t row, int32_t col) const {
    if (col < 0 || col >= kCols || row < 0 || row > data_rows_) return {};
    if (row == 0) return header_text(col);
    if (col == 0) {
        // The row index in hex, padded to three digits, then "0H：".
        const uint32_t index = static_cast<uint32_t>(row - 1);
        std::string label(index <= 0xF ? 2 : (index <= 0xFF ? 1 : 0), '0');
        label += hex_plain(index);
        label += "0H：";
        return label;
    }
    if (col == kCharCol) {
        std::string text = " ";
        const int32_t first = cell_address(row, 1);
        for (int32_t a = first; a < first + 16 && shown(a); ++a) {
            const uint8_t b = chars_[static_cast<std::size_t>(a)];
            text.push_back(b >= 0x21 && b <= 0x7D ? static_cast<char>(b) : '.');
        }
        return text;
    }
    const int32_t address = cell_address(row, col);
    if (!shown(address)) return {};
    return hex2(cells_[static_cast<std::size_t>(address)]);
}

void HexGrid::set_cell(int32_t row, int32_t col, uint8_t value) {
    if (row < 1 || col < 1 || col > 16) return;
    const int32_t address = cell_address(row, col);
    if (address < CodeImage::kSize) cells_[static_cast<std::size_t>(address)] = value;
}

bool parse_cell_input(std::string_view text, uint8_t& value) {
    if (text.empty() || text.size() > 2) return false;
    int v = 0;
    for (char c : text) {
        const int d = hex_value(c);
        if (d < 0) return false;
        v = v * 16 + d;
    }
    value = static_cast<uint8_t>(v);
    return true;
}

CellPos next_edit_cell(CellPos at, int32_t grid_rows, int32_t data_len) {
    CellPos next = at;
    if (next.col < 16) {
        ++next.col;
    } else {
        next.col = 1;
        next.row = (next.row == grid_rows - 1) ? 1 : next.row + 1;
    }
    if (data_len != 0 && HexGrid::cell_address(next.row, next.col) > data_len) next = {1, 1};
    return next;
}

} // namespace tarn
