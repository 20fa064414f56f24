#include "shell/device_catalogue.h"

namespace tarn {

Family family_of(std::string_view model_name) {
    return !model_name.empty() && model_name[0] == 'P' ? Family::Serial : Family::Usb;
}

const DeviceModel* find_model(std::string_view model_name) {
    for (const DeviceModel& m : kCatalogue) {
        if (m.name == model_name) return &m;
    }
    return nullptr;
}

std::string model_hint(std::string_view model_name) {
    if (family_of(model_name) == Family::Usb) {
        return "  下载步骤提示：\r\n"
               "  1.请插入ATMEL-C51-USB下载线；\r\n"
               "  2.拔动选择开关到“仿真器”一侧(断开ATMEL单片机“复位信号”)；\r\n"
               "  3.按住C51单片机“复位”键（禁止仿真器工作）；\r\n"
               "  4.选择编程的功能选项后,点击“开始”键,开始编程；\r\n"
               "  5.编程成功后,松开“复位”键,拨动选择开关到C51单片机一侧。";
    }
    std::string hint =
        "   提示：\r\n"
        "\r\n"
        " 1、要编程时，如果出现“通讯错误”时，请选择擦除后选项。\r\n"
        " 2、读取内容时，根据芯片存储器大小读取，比较大时读取时间较长，请等待。\r\n"
        " 3、在无任何操作选项时，为识别芯片型号。\r\n"
        " 4、在编程时，点击开始后，请禁止其它操作，以防止编程中断造成芯片损坏！！！！\r\n";
    // The P89V51RD2's loader listens only briefly after a reset, so the user
    // presses reset after start; the others are put into loader mode first.
    if (model_name == "P89V51RD2") {
        hint += " 5、点击“开始”键后，请在短时间内按一次单片机复位键后进入编程！！！！";
    } else {
        hint += " 5、设置下载开关为“下载”（PSEN->GND），按一次单片机“复位”键后，点击“开始”键进入编程！！！！";
    }
    return hint;
}

} // namespace tarn
