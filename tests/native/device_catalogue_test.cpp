#include "shell/device_catalogue.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(Catalogue, FamiliesFollowTheFirstLetterExactly) {
    EXPECT_EQ(family_of("P89C51RA2X"), Family::Serial);
    EXPECT_EQ(family_of("P"), Family::Serial);
    EXPECT_EQ(family_of("p89v51rd2"), Family::Usb);  // case counts
    EXPECT_EQ(family_of("AT89S52"), Family::Usb);
    EXPECT_EQ(family_of(""), Family::Usb);
}

TEST(Catalogue, ListOrderAndLookup) {
    const char* names[] = {"P89C51RA2X", "P89C51RD2X", "P89C51RD2HX", "P89V51RD2", "AT89S51", "AT89S52", "AT89S54"};
    for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
        EXPECT_EQ(kCatalogue[i].name, names[i]);
        EXPECT_EQ(find_model(names[i]), &kCatalogue[i]);
    }
    EXPECT_EQ(find_model("AT89S52 "), nullptr);
    EXPECT_EQ(find_model("at89s52"), nullptr);
}

TEST(Catalogue, HintTexts) {
    const std::string usb = model_hint("AT89S51");
    EXPECT_EQ(usb.substr(0, usb.find("\r\n")), "  下载步骤提示：");
    EXPECT_EQ(usb.substr(usb.rfind("\r\n") + 2), "  5.编程成功后,松开“复位”键,拨动选择开关到C51单片机一侧。");
    EXPECT_EQ(model_hint("AT89S54"), usb);

    const std::string reset_line = " 5、点击“开始”键后，请在短时间内按一次单片机复位键后进入编程！！！！";
    const std::string psen_line = " 5、设置下载开关为“下载”（PSEN->GND），按一次单片机“复位”键后，点击“开始”键进入编程！！！！";
    for (const char* model : {"P89C51RA2X", "P89C51RD2X", "P89C51RD2HX", "P89V51RD2"}) {
        const std::string hint = model_hint(model);
        EXPECT_EQ(hint.substr(0, 16), "   提示：\r\n\r\n") << model;
        EXPECT_EQ(hint.substr(hint.rfind("\r\n") + 2), std::string(model) == "P89V51RD2" ? reset_line : psen_line) << model;
        EXPECT_NE(hint.back(), '\n');
    }
}

} // namespace
} // namespace tarn
