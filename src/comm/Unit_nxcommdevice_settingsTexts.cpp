#include "ThreadLocale.h"
#include "Unit_nxcommdevice_settings.h"

namespace QuillComm {

namespace {

constexpr LocalizedText kTexts[TMsgStrings::kCount] = {
    {"&OK", "确定", "確定"},
    {"&Cancel", "取消", "取消"},
    {"COM port Setup", "串行口设置", "序列埠設定"},
    {"COM port", "串行口", "序列埠"},
    {"Baud", "波特率", "傳輸速率"},
    {"Parity", "奇偶校验", "奇偶校驗"},
    {"Byte Size", "数据位", "資料位元"},
    {"Stop Bits", "停止位", "停止位元"},
    {"Flow Control", "数据流控", "資料流控"},
    {"No parity", "No parity (无)", "No parity (無)"},
    {"Odd", "Odd (奇)", "Odd (奇)"},
    {"Even", "Even (偶)", "Even (偶)"},
    {"Mark", "Mark (标记)", "Mark (標記)"},
    {"None", "None (无)", "None (無)"},
    {"RTS/CTS", "RTS/CTS (硬件)", "RTS/CTS (硬體)"},
    {"Xon/Xoff", "Xon/Xoff (软件)", "Xon/Xoff (軟體)"},
    {"RTS/CTS & Xon/Xoff", "RTS/CTS & Xon/Xoff (硬&软)", "RTS/CTS & Xon/Xoff (硬&軟)"},
    {"Must select COM Port", "必须选择串行口", "必須選擇序列埠"},
    {"Must select baud rate", "必须输入/选择波特率", "必須輸入/選擇序列傳輸速率"},
    {"Invalid baud rate", "无效的波特率", "無效的序列傳輸速率"},
    {"Must select byte size", "必须选择数据位", "必須選擇資料位元"},
    {"Must select parity check", "必须选择奇偶校验", "必須選擇奇偶校驗"},
    {"Must select stop bits", "必须选择停止位", "必須選擇停止位元"},
    {"Must select flow control", "必须选择数据流控制", "必須選擇資料流程控制"},
    {"&About", "关于", "關於"},
    {"&Default", "默认", "默認"},
    {"Port", "串行口选项", "埠選項"},
    {"Modem", "调制解调器选项", "數據機選項"},
    {"Buffer", "缓存容量", "緩存容量"},
    {"Auto Answer", "自动应答", "自動回應"},
    {"Input Buf.", "输入缓存", "輸入緩存"},
    {"Output Buf.", "输出缓存", "輸出緩存"},
    {"Auto Answer: 0 - 255", "自动应答必须是 0 - 255 的整数", "自動回應必須是 0 - 255 的整數"},
    {"Input Buffer size error", "输入缓存容量错误", "輸入緩存容量錯誤"},
    {"Output Buffer size error", "输出缓存容量错误", "輸出緩存容量錯誤"},
    {"Space Parity", "Space (空格)", "Space (空白)"},
};

}  // namespace

TMsgStrings::TMsgStrings() : lcId_(ThreadLocaleId()) {}

QString TMsgStrings::fGetMsg(int i) const {
    return i < 0 || i >= kCount ? QString() : Localized(kTexts[i], lcId_);
}

}  // namespace QuillComm
