#include "ThreadLocale.h"
#include "Tquillcomm.h"

namespace QuillComm {

namespace {

constexpr LocalizedText kPrefix = {"Serial port: \"%s\" - ", "串行口:“%s”- ", "序列埠:『%s』- "};
constexpr LocalizedText kFallback = {"Unknown error", "未知错误", "未知錯誤"};

// Indexed by error code - 1.
constexpr LocalizedText kErrors[] = {
    {"Out of memory", "内存不够", "記憶體不夠"},
    {"Cannot initialize read buffer", "不能初始化读缓存", "不能初始化讀緩存"},
    {"Cannot initialize write buffer", "不能初始化写缓存", "不能初始化寫緩存"},
    {"Cannot open COM port", "不能打开串行口", "不能打開序列埠"},
    {"Cannot set comm-mask", "不能设置串行口事件MASK", "不能設置序列埠事件MASK"},
    {"Cannot set COM port buffer size", "不能设置串行口缓存", "不能設置序列埠緩存"},
    {"Cannot read COM port parameters", "不能得到串行口参数", "不能得到序列埠參數"},
    {"Cannot set COM port parameters", "不能设置串行口参数", "不能設置序列埠參數"},
    {"Cannot create COM port asynchronize read event", "不能创建串行口异步读事件",
     "不能創建序列埠非同步讀事件"},
    {"Cannot create COM port asynchronize write event", "不能创建串行口异步写事件",
     "不能創建序列埠非同步寫事件"},
    {"Cannot create COM port read thread", "不能创建串行口读线程", "不能創建序列埠讀執行緒"},
    {"Cannot create COM port write thread", "不能创建串行口写线程", "不能創建序列埠寫執行緒"},
    {"Cannot close COM port read thread", "不能关闭串行口读线程", "不能關閉序列埠讀執行緒"},
    {"Cannot close COM port write thread", "不能关闭串行口写线程", "不能關閉序列埠寫執行緒"},
};

std::string BuildMessage(TErrorCode code, const QString& portName) {
    const TQuillCommLanguage language;
    QString message;
    if (!portName.isEmpty())
        message = language.Prefix().replace(QLatin1String("%s"), portName);
    const QString text = language.ErrorText(code);
    message += text.isEmpty() ? language.Fallback() : text;
    return message.toStdString();
}

}  // namespace

TQuillCommLanguage::TQuillCommLanguage() : lcId_(ThreadLocaleId()) {
    if (lcId_ == 0)
        lcId_ = kLocaleEnglish;
}

QString TQuillCommLanguage::Prefix() const {
    return Localized(kPrefix, lcId_);
}

QString TQuillCommLanguage::Fallback() const {
    return Localized(kFallback, lcId_);
}

QString TQuillCommLanguage::ErrorText(TErrorCode code) const {
    constexpr int kCount = sizeof kErrors / sizeof kErrors[0];
    return code >= 1 && code <= kCount ? Localized(kErrors[code - 1], lcId_) : QString();
}

EQuillCommError::EQuillCommError(TErrorCode code) : EQuillCommError(code, QString()) {}

EQuillCommError::EQuillCommError(TErrorCode code, const QString& portName, int systemError)
    : std::runtime_error(BuildMessage(code, portName)),
      code_(code),
      portName_(portName),
      systemError_(systemError) {}

}  // namespace QuillComm
