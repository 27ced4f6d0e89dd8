#include "endurance/MeasurementCsv.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>

#include "core/GbkText.h"
#include "core/IniFile.h"
#include "endurance/ProgrammeTexts.h"

namespace rig {
namespace {

const QString kSection = QStringLiteral("MeasurementCsv");

// The separator the header line holds most of outside quotes; a comma when it holds none.
QChar SeparatorOf(const QString& text) {
  int comma = 0, semicolon = 0, tab = 0;
  bool quoted = false;
  for (QChar c : text) {
    if (c == '"') quoted = !quoted;
    else if (quoted) continue;
    else if (c == '\n') break;
    else if (c == ',') ++comma;
    else if (c == ';') ++semicolon;
    else if (c == '\t') ++tab;
  }
  if (tab > comma && tab >= semicolon) return '\t';
  if (semicolon > comma) return ';';
  return ',';
}

bool Blank(const QStringList& row) {
  for (const QString& f : row)
    if (!f.trimmed().isEmpty()) return false;
  return true;
}

// A number written with a decimal point: "41.5", "-0.25", "1e3"; nothing else.
std::optional<double> NumberOf(const QString& text) {
  static const QRegularExpression kNumber(QStringLiteral(R"(^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$)"));
  const QString t = text.trimmed();
  if (!kNumber.match(t).hasMatch()) return std::nullopt;
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

int ColumnOf(const QStringList& header, const QString& caption) {
  for (int c = 0; c < header.size(); ++c)
    if (header[c].compare(caption.trimmed(), Qt::CaseInsensitive) == 0) return c;
  return -1;
}

QString CellError(const CsvTable& t, int row, int column, const QString& what) {
  return QStringLiteral("第%1行第%2列（%3）：%4").arg(t.Lines[row]).arg(column + 1).arg(t.Header.value(column), what);
}

QString NotNumber(const QString& text) {
  return QStringLiteral("“%1”不是数字（小数用小数点，如 41.5）").arg(text.trimmed());
}

MeasurementImport ReadRows(const CsvTable& t, const MeasurementCsvMapping& m) {
  MeasurementImport out;
  struct Role {
    const QString& Caption;
    const char16_t* Word;
    bool Required;
    int Column = -1;
  } roles[] = {{m.Name, u"名称", true}, {m.Value, u"测量值", true}, {m.Unit, u"单位", false},
               {m.Low, u"下限", false}, {m.High, u"上限", false}};
  for (Role& r : roles) {
    if (r.Caption.trimmed().isEmpty()) {
      if (!r.Required) continue;
      out.Error = QStringLiteral("没有指定%1列").arg(QString::fromUtf16(r.Word));
      return out;
    }
    r.Column = ColumnOf(t.Header, r.Caption);
    if (r.Column < 0) {
      out.Error = QStringLiteral("第%1行（表头）没有“%2”列（%3）").arg(t.HeaderLine).arg(r.Caption, QString::fromUtf16(r.Word));
      return out;
    }
  }
  const auto cell = [&](int row, const Role& r) { return r.Column < 0 ? QString() : t.Rows[row].value(r.Column).trimmed(); };
  for (int row = 0; row < static_cast<int>(t.Rows.size()); ++row) {
    ImportedMeasurement im;
    im.Name = cell(row, roles[0]);
    const QString value = cell(row, roles[1]);
    if (im.Name.isEmpty() && value.isEmpty()) continue;  // a line of other things
    if (im.Name.isEmpty()) {
      out.Error = CellError(t, row, roles[0].Column, QStringLiteral("没有名称"));
      return out;
    }
    if (value.isEmpty()) {
      out.Error = CellError(t, row, roles[1].Column, QStringLiteral("没有数值"));
      return out;
    }
    const std::optional<double> v = NumberOf(value);
    if (!v) {
      out.Error = CellError(t, row, roles[1].Column, NotNumber(value));
      return out;
    }
    im.Value = *v;
    im.Unit = cell(row, roles[2]);
    for (int limit : {3, 4}) {
      const QString text = cell(row, roles[limit]);
      if (text.isEmpty()) continue;
      const std::optional<double> l = NumberOf(text);
      if (!l) {
        out.Error = CellError(t, row, roles[limit].Column, NotNumber(text));
        return out;
      }
      (limit == 3 ? im.Low : im.High) = l;
    }
    out.Measurements.push_back(im);
  }
  if (out.Measurements.empty()) out.Error = QStringLiteral("文件中没有测量数据");
  return out;
}

MeasurementImport ReadColumns(const CsvTable& t) {
  MeasurementImport out;
  std::vector<int> columns;
  for (int c = 0; c < t.Header.size(); ++c)
    if (NameAndUnit(t.Header[c])) columns.push_back(c);
  if (columns.empty()) {
    out.Error = QStringLiteral("第%1行（表头）没有带单位的测量列（如“合闸时间(ms)”）").arg(t.HeaderLine);
    return out;
  }
  // The latest shot: the last line with a value in a measurement column.
  int last = -1;
  for (int row = 0; row < static_cast<int>(t.Rows.size()); ++row)
    for (int c : columns)
      if (!t.Rows[row].value(c).trimmed().isEmpty()) last = row;
  if (last < 0) {
    out.Error = QStringLiteral("文件中没有测量数据");
    return out;
  }
  for (int c : columns) {
    const QString text = t.Rows[last].value(c).trimmed();
    if (text.isEmpty()) continue;
    const std::optional<double> v = NumberOf(text);
    if (!v) {
      out.Error = CellError(t, last, c, NotNumber(text));
      return out;
    }
    const auto [name, unit] = *NameAndUnit(t.Header[c]);
    out.Measurements.push_back({name, unit, *v, std::nullopt, std::nullopt});
  }
  return out;
}

}  // namespace

QString DecodeCsvText(const QByteArray& bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) return QString::fromUtf8(bytes.mid(3));
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8(bytes);
  return utf8.hasError() ? FromGbk(bytes) : text;
}

CsvTable ParseCsvTable(const QByteArray& bytes) {
  CsvTable t;
  const QString text = DecodeCsvText(bytes);
  const QChar sep = SeparatorOf(text);
  QStringList row;
  QString field;
  bool quoted = false, header = true;
  int line = 1, rowLine = 1, quoteLine = 0;
  const auto endRow = [&] {
    row << field.trimmed();
    field.clear();
    if (!Blank(row)) {
      if (header) {
        t.Header = row;
        t.HeaderLine = rowLine;
        header = false;
      } else {
        t.Rows.push_back(row);
        t.Lines.push_back(rowLine);
      }
    }
    row.clear();
    rowLine = line;
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
      else if (c == '"') quoted = false;
      else field += c, line += c == '\n';
    } else if (c == '"') {
      quoted = true;
      quoteLine = line;
    } else if (c == sep) {
      row << field.trimmed();
      field.clear();
    } else if (c == '\n') {
      ++line;
      endRow();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (quoted) {
    t.Error = QStringLiteral("第%1行：引号没有闭合").arg(quoteLine);
    return t;
  }
  endRow();
  if (t.Header.isEmpty()) t.Error = QStringLiteral("文件是空的");
  return t;
}

std::optional<std::pair<QString, QString>> NameAndUnit(const QString& header) {
  static const QRegularExpression kHeader(QStringLiteral(R"(^(.*\S)\s*[（(\[]\s*([^)）\]]+?)\s*[)）\]]$)"));
  const QRegularExpressionMatch m = kHeader.match(header.trimmed());
  if (!m.hasMatch()) return std::nullopt;
  return std::pair{m.captured(1), m.captured(2)};
}

bool MappingFits(const MeasurementCsvMapping& m, const QStringList& header) {
  if (m.Shape == MeasurementCsvMapping::Layout::Columns) {
    for (const QString& h : header)
      if (NameAndUnit(h)) return true;
    return false;
  }
  if (m.Name.isEmpty() || m.Value.isEmpty()) return false;
  for (const QString* c : {&m.Name, &m.Value, &m.Unit, &m.Low, &m.High})
    if (!c->isEmpty() && ColumnOf(header, *c) < 0) return false;
  return true;
}

MeasurementCsvMapping GuessMapping(const QStringList& header) {
  const auto find = [&](std::initializer_list<const char16_t*> words) {
    for (const char16_t* w : words)
      if (const int c = ColumnOf(header, QString::fromUtf16(w)); c >= 0) return header[c];
    return QString();
  };
  MeasurementCsvMapping m;
  m.Name = find({u"名称", u"测量项目", u"项目", u"参数", u"name", u"item"});
  m.Value = find({u"测量值", u"数值", u"值", u"结果", u"value", u"result"});
  m.Unit = find({u"单位", u"unit"});
  m.Low = find({u"下限", u"最小值", u"low", u"min"});
  m.High = find({u"上限", u"最大值", u"high", u"max"});
  if (m.Name.isEmpty() || m.Value.isEmpty()) {
    MeasurementCsvMapping columns;
    columns.Shape = MeasurementCsvMapping::Layout::Columns;
    if (MappingFits(columns, header)) return columns;
    if (m.Name.isEmpty()) m.Name = header.value(0);
    if (m.Value.isEmpty()) m.Value = header.value(1);
  }
  return m;
}

MeasurementImport ReadMeasurements(const CsvTable& table, const MeasurementCsvMapping& mapping) {
  if (!table.Error.isEmpty()) return {{}, table.Error};
  MeasurementImport read =
      mapping.Shape == MeasurementCsvMapping::Layout::Columns ? ReadColumns(table) : ReadRows(table, mapping);
  if (!read.Error.isEmpty()) read.Measurements.clear();  // a faulty file gives nothing, not its first lines
  return read;
}

void MergeImported(std::vector<MeasurementEntry>& entries, const std::vector<ImportedMeasurement>& imported) {
  for (const ImportedMeasurement& im : imported) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const MeasurementEntry& e) { return e.Name.trimmed() == im.Name; });
    if (it == entries.end()) {
      entries.push_back({im.Name, im.Unit, {}, {}, {}, {}});
      it = entries.end() - 1;
    }
    it->Value = MeasureText(im.Value);
    if (!im.Unit.isEmpty()) it->Unit = im.Unit;
    if (im.Low) it->Low = MeasureText(*im.Low);
    if (im.High) it->High = MeasureText(*im.High);
  }
}

std::optional<MeasurementCsvMapping> LoadMeasurementMapping(const QString& exeDir) {
  const TIniFile ini(exeDir + QStringLiteral("Config.ini"));
  const QString layout = ini.ReadString(kSection, QStringLiteral("Layout"), QString()).trimmed();
  if (layout != QLatin1String("rows") && layout != QLatin1String("columns")) return std::nullopt;
  MeasurementCsvMapping m;
  m.Shape = layout == QLatin1String("columns") ? MeasurementCsvMapping::Layout::Columns : MeasurementCsvMapping::Layout::Rows;
  m.Name = ini.ReadString(kSection, QStringLiteral("NameColumn"), QString());
  m.Value = ini.ReadString(kSection, QStringLiteral("ValueColumn"), QString());
  m.Unit = ini.ReadString(kSection, QStringLiteral("UnitColumn"), QString());
  m.Low = ini.ReadString(kSection, QStringLiteral("LowColumn"), QString());
  m.High = ini.ReadString(kSection, QStringLiteral("HighColumn"), QString());
  return m;
}

void SaveMeasurementMapping(const QString& exeDir, const MeasurementCsvMapping& m) {
  TIniFile ini(exeDir + QStringLiteral("Config.ini"));
  ini.WriteString(kSection, QStringLiteral("Layout"),
                  m.Shape == MeasurementCsvMapping::Layout::Columns ? QStringLiteral("columns") : QStringLiteral("rows"));
  ini.WriteString(kSection, QStringLiteral("NameColumn"), m.Name);
  ini.WriteString(kSection, QStringLiteral("ValueColumn"), m.Value);
  ini.WriteString(kSection, QStringLiteral("UnitColumn"), m.Unit);
  ini.WriteString(kSection, QStringLiteral("LowColumn"), m.Low);
  ini.WriteString(kSection, QStringLiteral("HighColumn"), m.High);
}

}  // namespace rig
