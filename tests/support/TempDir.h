#pragma once
// A fresh folder per test, removed afterwards; Path() ends with '/', like the
// program's own folder.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

namespace rigtest {

class TempDir {
 public:
  TempDir();
  QString Path() const { return dir_.path() + QLatin1Char('/'); }
  QString File(const QString& name) const { return Path() + name; }

  // Whole file contents; empty when missing.
  QByteArray Read(const QString& name) const;
  void Write(const QString& name, const QByteArray& bytes) const;

 private:
  QTemporaryDir dir_;
};

}  // namespace rigtest
