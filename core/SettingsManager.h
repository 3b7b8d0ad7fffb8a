#pragma once

// The configuration record and its JSON file. Every consumer loads the file when it needs a value;
// nothing is cached here but the file's location.

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace vorlex {

enum class TranslationEngine { google, deepL };

QString toRawValue(TranslationEngine engine);
std::optional<TranslationEngine> translationEngineFromRawValue(const QString& raw);

struct HotkeyConfig {
    QStringList modifiers; // "ctrl", "opt", "cmd", "shift", in the order written
    QString key;           // the key's text; empty means unassigned

    bool operator==(const HotkeyConfig&) const = default;

    QJsonObject toJson() const;
    static std::optional<HotkeyConfig> fromJson(const QJsonValue& value);
};

struct AppSettings {
    TranslationEngine engine = TranslationEngine::google;
    QString targetLanguage = QStringLiteral("he");
    QString sourceLanguage = QStringLiteral("auto");
    QString deepLApiKey;
    bool deepLUseFreeTier = true;
    QString windowPosition = QStringLiteral("cursor");
    bool autoCopyToClipboard = false;
    double windowOpacity = 0.98;
    HotkeyConfig hotkeyTranslate{{QStringLiteral("cmd"), QStringLiteral("shift")}, QStringLiteral("T")};
    HotkeyConfig hotkeyLayoutConvert{{QStringLiteral("cmd"), QStringLiteral("shift")}, QStringLiteral("K")};
    HotkeyConfig hotkeyReplaceText;
    // Added after the first eleven: a file without it (written by an older version) reads as unassigned.
    HotkeyConfig hotkeyTranslateScreen;

    bool operator==(const AppSettings&) const = default;

    QJsonObject toJson() const;
    // Strict: every key present with its JSON type, or nothing; only the later hotkeyTranslateScreen
    // may be absent. Extra keys are ignored.
    static std::optional<AppSettings> fromJson(const QJsonObject& object);
};

class SettingsManager {
public:
    static SettingsManager& shared();

    // A store at an explicit path (tests); the shared one takes its path from the environment at each use.
    explicit SettingsManager(QString settingsPath = {});

    // The stored record, or the default record when there is no usable file. Never fails.
    AppSettings load();
    // Writes the whole record atomically, owner-only. Returns false on any failure (the old file
    // stays); never throws, never shows anything. An existing file that could not be read as settings
    // is kept first as settings.json.bad (keepAside), so a hand-edited file with a typo is not lost.
    bool save(const AppSettings& settings);

    // $XDG_CONFIG_HOME/VorlexMac/settings.json; the folder is created at the first use (configFolder).
    QString settingsURL() const;

private:
    QString path;
};

} // namespace vorlex
