#include "ui/stim_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>

namespace ui {
namespace {

constexpr char kStim[] = "stim";

std::string& Folder() {
  static std::string folder = kStim;
  return folder;
}

}  // namespace

std::string FindStimulusFolder(const std::string& executableDir, const std::string& installed) {
  if (QFileInfo(QString::fromLatin1(kStim)).isDir()) return kStim;
  const QString beside = QDir(QString::fromStdString(executableDir))
                             .absoluteFilePath(QString::fromStdString(installed));
  if (!executableDir.empty() && QFileInfo(beside).isDir()) {
    return QDir::cleanPath(beside).toStdString();
  }
  return kStim;
}

std::string InStimulusFolder(const std::string& path, const std::string& folder) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  const std::string prefix = std::string(kStim) + "/";
  if (native.compare(0, prefix.size(), prefix) != 0) return native;
  return folder + native.substr(prefix.size() - 1);
}

const std::string& StimulusFolder() {
  return Folder();
}

void SetStimulusFolder(const std::string& folder) {
  Folder() = folder;
}

}  // namespace ui
