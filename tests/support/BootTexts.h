#pragma once

// The list texts of the boot loader's conversation, as the user reads them.

#include <QString>

namespace boottexts {

inline const QString kRequest = QStringLiteral("收到升级请求");
inline const QString kAnswered = QStringLiteral("应答文件信息请求");
inline const QString kStart = QStringLiteral("开始传输文件，请不要退出程序");
inline const QString kTransferred = QStringLiteral("传输文件完成");
inline const QString kProgramming = QStringLiteral("开始升级，请不要断电,并耐心等待...");
inline const QString kCheckError = QStringLiteral("校验错误，请重新断电测试");
inline const QString kDone = QStringLiteral("升级完成!");

}  // namespace boottexts
