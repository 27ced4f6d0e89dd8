#pragma once
// Headers most of the program's files include, compiled once per build
// (most of a clean build is spent parsing Qt's headers). Files still include
// what they use; this only makes it cheaper.
#include <QString>
#include <QStringList>
#include <QDateTime>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>
