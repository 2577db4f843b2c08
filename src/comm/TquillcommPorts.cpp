#include <algorithm>
#include <climits>
#include <vector>

#include "ComPorts.h"
#include "Tquillcomm.h"

namespace QuillComm {

TCommSerialPortInfo::TCommSerialPortInfo(const IniFile* ini) : ini_(ini) {
    Refresh();
}

void TCommSerialPortInfo::Refresh() {
    PortList.clear();
    ListFromSystem();
}

int TCommSerialPortInfo::ListFromSystem() {
    // The COM names whose devices are present stand for the registry's list of serial ports.
    PortList = PresentComNames(ini_);
    PortList.removeAll(QString());
    SortPortList(&PortList);
    return 0;
}

void TCommSerialPortInfo::SortPortList(QStringList* list) {
    std::vector<int> order(list->size());
    for (int i = 0; i < static_cast<int>(order.size()); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [list](int i, int j) { return PortListSortCompare(*list, i, j) < 0; });
    QStringList sorted;
    for (int i : order) sorted << (*list)[i];
    *list = sorted;
}

int TCommSerialPortInfo::PortNo(const QString& name) {
    if (name.size() < 3 || name.left(3).toUpper() != QLatin1String("COM"))
        return 0;
    const QString rest = name.mid(3);
    int i = 0;
    while (i < rest.size() && rest[i] == QLatin1Char(' ')) ++i;
    bool ok = false;
    const long long n = rest.mid(i).toLongLong(&ok, 10);
    // toLongLong takes a sign but refuses blanks or anything after the digits.
    if (!ok || rest.mid(i).trimmed() != rest.mid(i) || n < 0 || n > INT_MAX)
        return 0;
    return static_cast<int>(n);
}

QString TCommSerialPortInfo::PortName(int n) {
    return n > 0 ? QStringLiteral("COM%1").arg(n) : QString();
}

int TCommSerialPortInfo::PortListSortCompare(const QStringList& list, int i, int j) {
    const int a = PortNo(list[i]);
    const int b = PortNo(list[j]);
    if (a > 0 && b > 0)
        return a - b;
    if (a != b)
        return b - a;
    return QString::compare(list[i], list[j]);
}

}  // namespace QuillComm
