#include "image/hex_grid.h"

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

std::unique_ptr<CodeImage> image_of(int32_t data_len) {
    auto img = std::make_unique<CodeImage>();
    for (int i = 0; i < CodeImage::kSize; ++i) img->rom_data[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    img->data_len = data_len;
    return img;
}

TEST(HexGrid, RowsShowEveryLoadedByte) {
    struct Case {
        int32_t data_len, rows;
        std::string last_label, last_row_chars;
    };
    for (const Case& c : {Case{0, 1, "  地址：", ""}, Case{1, 2, "0000H：", " .."},
                          // data_len 16: the byte at 0x10 gets a second row.
                          Case{16, 3, "0010H：", " ."}, Case{17, 3, "0010H：", " .."}, Case{15, 2, "0000H：", ""},
                          Case{0x1FFF, 513, "1FF0H：", ""}, Case{0x10000, 4098, "10000H：", " ."}}) {
        HexGrid g;
        g.fill(*image_of(c.data_len));
        EXPECT_EQ(g.rows(), c.rows) << c.data_len;
        EXPECT_EQ(g.cell_text(g.rows() - 1, 0), c.last_label) << c.data_len;
        if (!c.last_row_chars.empty()) {
            EXPECT_EQ(g.cell_text(g.rows() - 1, 17).substr(0, c.last_row_chars.size()), c.last_row_chars);
        }
    }
}

TEST(HexGrid, CellTexts) {
    HexGrid g;
    g.fill(*image_of(0x11));
    EXPECT_EQ(g.cell_text(0, 0), "  地址：");
    EXPECT_EQ(g.cell_text(0, 1), "00");
    EXPECT_EQ(g.cell_text(0, 16), "0F");
    EXPECT_EQ(g.cell_text(0, 17), "      ASICC     ");
    EXPECT_EQ(g.cell_text(1, 0), "0000H：");
    EXPECT_EQ(g.cell_text(1, 1), "00");
    EXPECT_EQ(g.cell_text(1, 11), "0A");
    EXPECT_EQ(g.cell_text(2, 0), "0010H：");
    EXPECT_EQ(g.cell_text(2, 2), "11");
    EXPECT_EQ(g.cell_text(2, 3), "");  // beyond data_len
    EXPECT_EQ(g.cell_text(3, 1), "");  // beyond the last row
}

TEST(HexGrid, LabelsOfDistantRows) {
    HexGrid g;
    g.fill(*image_of(0xFFFF));
    EXPECT_EQ(g.cell_text(16, 0), "00F0H：");
    EXPECT_EQ(g.cell_text(17, 0), "0100H：");
    EXPECT_EQ(g.cell_text(256, 0), "0FF0H：");
    EXPECT_EQ(g.cell_text(257, 0), "1000H：");
    EXPECT_EQ(g.cell_text(4096, 0), "FFF0H：");
    EXPECT_EQ(g.cell_text(4096, 16), "FF");
}

TEST(HexGrid, CharacterColumnShowsPrintableBytesOnly) {
    auto img = image_of(15);
    const uint8_t row[16] = {0x21, 0x7D, 0x7E, 0x20, 0x7F, 0x80, 0xFF, 'A', 'z', '0', 0x00, 0x1F, '~', '}', '!', 'H'};
    std::copy(std::begin(row), std::end(row), img->rom_data.begin());
    HexGrid g;
    g.fill(*img);
    EXPECT_EQ(g.cell_text(1, 17), " !}.....Az0...}!H");
}

TEST(HexGrid, FillIsASnapshotAndEditsChangeOnlyTheByteCell) {
    auto img = image_of(31);
    HexGrid g;
    g.fill(*img);
    img->rom_data[0x12] = 0x99;
    EXPECT_EQ(g.cell_text(2, 3), "12");  // the grid mirrors the image only at a fill
    g.set_cell(2, 3, 0x41);
    EXPECT_EQ(g.cell_text(2, 3), "41");
    EXPECT_EQ(g.cell_text(2, 17)[3], '.');  // still the old character (0x12), not 'A'
    img->rom_data[0x12] = 0x41;
    g.fill(*img);
    EXPECT_EQ(g.cell_text(2, 17)[3], 'A');
}

TEST(HexGrid, ColumnWidths) {
    EXPECT_EQ(HexGrid::column_width_twips(0), 800);
    EXPECT_EQ(HexGrid::column_width_twips(1), 300);
    EXPECT_EQ(HexGrid::column_width_twips(4), 400);
    EXPECT_EQ(HexGrid::column_width_twips(8), 400);
    EXPECT_EQ(HexGrid::column_width_twips(12), 400);
    EXPECT_EQ(HexGrid::column_width_twips(13), 300);
    EXPECT_EQ(HexGrid::column_width_twips(17), 2000);
}

TEST(CellEditor, ParsesOneOrTwoHexDigits) {
    struct Case {
        const char* text;
        bool ok;
        uint8_t value;
    };
    for (const Case& c : {Case{"a", true, 0x0A}, Case{"0A", true, 0x0A}, Case{"fF", true, 0xFF}, Case{"7", true, 7},
                          Case{"", false, 0}, Case{"G1", false, 0}, Case{" 1", false, 0}, Case{"1 ", false, 0},
                          Case{"123", false, 0}, Case{"&H", false, 0}}) {
        uint8_t v = 0;
        EXPECT_EQ(parse_cell_input(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(CellEditor, NextCellWrapsAtRowsAndAtTheLoadedData) {
    struct Case {
        CellPos at;
        int32_t rows, data_len;
        CellPos next;
    };
    for (const Case& c : {Case{{1, 1}, 3, 31, {1, 2}}, Case{{1, 16}, 3, 31, {2, 1}},
                          Case{{2, 16}, 3, 31, {1, 1}},   // last byte of the last row
                          Case{{2, 2}, 3, 0x12, {2, 3}},  // 0x12 is the last loaded byte
                          Case{{2, 3}, 3, 0x12, {1, 1}},  // next address beyond data_len
                          Case{{5, 16}, 10, 0, {6, 1}}}) {
        EXPECT_EQ(next_edit_cell(c.at, c.rows, c.data_len), c.next) << c.at.row << "," << c.at.col;
    }
}

} // namespace
} // namespace tarn
