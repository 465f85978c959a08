#include "platform/Preferences.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quorvane {
namespace {

// A list is stored as "key/size" and "key/1/value" ... "key/N/value": that keeps an empty list apart
// from an absent one, and a list of one apart from a single string. Each element is stored as text when
// it is valid UTF-8 and as raw bytes otherwise, so that any path comes back byte for byte.
constexpr const char* kSizeKey = "size";
constexpr const char* kValueKey = "value";

QString qKey(const std::string& key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

bool isValidUtf8(const std::string& text) {
    const QByteArray bytes = QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    const QString decoded = QString::fromUtf8(bytes);
    return decoded.toUtf8() == bytes;
}

std::optional<std::string> asString(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) {
        return value.toString().toStdString();
    }
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return std::nullopt;
}

QVariant asVariant(const std::string& text) {
    if (isValidUtf8(text)) {
        return QString::fromStdString(text);
    }
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Why a settings file cannot be written: a folder or an unwritable file in its place, or a folder where no
// new file can be made (the store writes a new file and then gives it the file's name).
int writeErrorAt(const std::string& path) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file >= 0) {
        ::close(file);
    } else if (errno != ENOENT) {
        return errno;
    }
    const std::string::size_type slash = path.rfind('/');
    std::string probe =
        (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/.preferences-XXXXXX";
    const int made = ::mkstemp(probe.data());
    if (made < 0) {
        return errno;
    }
    ::close(made);
    ::unlink(probe.c_str());
    return EIO;
}

} // namespace

Preferences::Preferences(const std::string& filePath) {
    const QString path = QString::fromStdString(filePath);
    _settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (_settings->status() == QSettings::FormatError) {
        // A damaged file would never be written again: keep it for the curious and start afresh.
        _settings.reset();
        QFile::remove(path + ".damaged");
        QFile::rename(path, path + ".damaged");
        _settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
}

Preferences::~Preferences() = default;

std::optional<std::vector<std::string>> Preferences::stringList(const std::string& key) const {
    if (key.empty()) {
        return std::nullopt;
    }
    _settings->beginGroup(qKey(key));
    bool isNumber = false;
    const QVariant sizeValue = _settings->value(kSizeKey);
    const int size = sizeValue.toString().toInt(&isNumber);
    std::optional<std::vector<std::string>> strings;
    if (sizeValue.isValid() && isNumber && size >= 0) {
        strings.emplace();
        for (int i = 1; i <= size && strings; ++i) {
            std::optional<std::string> element =
                asString(_settings->value(QString::number(i) + "/" + kValueKey));
            if (element) {
                strings->push_back(std::move(*element));
            } else {
                strings.reset();
            }
        }
    }
    _settings->endGroup();
    return strings;
}

void Preferences::setStringList(const std::string& key, const std::vector<std::string>& strings) {
    if (key.empty()) {
        return;
    }
    _settings->remove(qKey(key));
    _settings->beginGroup(qKey(key));
    _settings->setValue(kSizeKey, static_cast<int>(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        _settings->setValue(QString::number(i + 1) + "/" + kValueKey, asVariant(strings[i]));
    }
    _settings->endGroup();
}

std::optional<std::string> Preferences::stringValue(const std::string& key) const {
    if (key.empty()) {
        return std::nullopt;
    }
    return asString(_settings->value(qKey(key)));
}

void Preferences::setString(const std::string& key, const std::string& value) {
    if (!key.empty()) {
        _settings->setValue(qKey(key), asVariant(value));
    }
}

int Preferences::changeStringList(const std::string& key, const ListChange& change) {
    // The folder's lock, which the kernel drops with the process that holds it: no stale lock files. The
    // settings' own lock is held only while they are written, not from the reading to the writing.
    const std::string path = QFile::encodeName(_settings->fileName()).toStdString();
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock >= 0) {
        while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    _settings->sync(); // reads what others wrote
    setStringList(key, change(stringList(key)));
    const int error = sync();
    if (lock >= 0) {
        ::close(lock);
    }
    return error;
}

int Preferences::sync() {
    _settings->sync();
    if (_settings->status() == QSettings::NoError) {
        return 0;
    }
    return writeErrorAt(QFile::encodeName(_settings->fileName()).toStdString());
}

std::string Preferences::filePath() const {
    return _settings->fileName().toStdString();
}

} // namespace quorvane
