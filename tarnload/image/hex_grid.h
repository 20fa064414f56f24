// The contents of the hex dump ROM_DISP: one header row, one data row per 16
// bytes with an address label, sixteen byte cells and a character column.
//
// A fill takes a snapshot of the image, so the grid shows what the image held
// at the last fill; an edit then changes one byte cell (the character column
// follows at the next fill). Cell texts are made on demand, so a window
// showing the grid pays only for the rows it draws, whatever the image size.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/code_image.h"

namespace tarn {

class HexGrid {
public:
    static constexpr int32_t kCols = 18;
    static constexpr int32_t kCharCol = 17;

    // Rebuilds the grid from rom_data and data_len.
    void fill(const CodeImage& image);

    // Rows including the header row; 1 when nothing is loaded.
    int32_t rows() const { return data_rows_ + 1; }
    int32_t data_rows() const { return data_rows_; }

    // The text of a cell (UTF-8). Row 0 is the header row, column 0 the
    // address labels, column 17 the character view.
    std::string cell_text(int32_t row, int32_t col) const;

    // Writes a byte into a byte cell (row >= 1, 1 <= col <= 16) as an edit does.
    void set_cell(int32_t row, int32_t col, uint8_t value);

    // Code address of a byte cell: 16 * (row - 1) + col - 1.
    static int32_t cell_address(int32_t row, int32_t col) { return 16 * (row - 1) + col - 1; }

    // Column widths in twips: labels 800, bytes 300 with 400 after every
    // fourth byte, characters 2000.
    static int32_t column_width_twips(int32_t col);

    // Header texts of row 0.
    static std::string header_text(int32_t col);

    // Data rows for a loaded length: every byte from 0 to data_len is shown;
    // data_len 0 means nothing is loaded.
    static int32_t data_rows_for(int32_t data_len) { return data_len > 0 ? data_len / 16 + 1 : 0; }

private:
    bool shown(int32_t address) const { return address >= 0 && address <= len_ && address < CodeImage::kSize; }

    // Bytes as the byte cells show them, and as the character column shows them.
    std::array<uint8_t, CodeImage::kSize> cells_{};
    std::array<uint8_t, CodeImage::kSize> chars_{};
    int32_t len_ = -1;
    int32_t data_rows_ = 0;
};

// The in-place editor's rules.
struct CellPos {
    int32_t row = 0;
    int32_t col = 0;
    bool operator==(const CellPos&) const = default;
};

// The editor's text as one byte: one or two hexadecimal digits of either case.
bool parse_cell_input(std::string_view text, uint8_t& value);

// The cell the editor moves to after Enter: the next byte column, wrapping to
// the next row and from the last data row to row 1; back to (1, 1) when the
// next cell lies beyond the loaded data.
CellPos next_edit_cell(CellPos at, int32_t grid_rows, int32_t data_len);

} // namespace tarn
