#include "SettingsManager.h"

#include "PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace vorlex {

namespace {

const QString kEngine = QStringLiteral("Engine");
const QString kTargetLanguage = QStringLiteral("TargetLanguage");
const QString kSourceLanguage = QStringLiteral("SourceLanguage");
const QString kDeepLApiKey = QStringLiteral("DeepLApiKey");
const QString kDeepLUseFreeTier = QStringLiteral("DeepLUseFreeTier");
const QString kWindowPosition = QStringLiteral("WindowPosition");
const QString kAutoCopyToClipboard = QStringLiteral("AutoCopyToClipboard");
const QString kWindowOpacity = QStringLiteral("WindowOpacity");
const QString kHotkeyTranslate = QStringLiteral("HotkeyTranslate");
const QString kHotkeyLayoutConvert = QStringLiteral("HotkeyLayoutConvert");
const QString kHotkeyReplaceText = QStringLiteral("HotkeyReplaceText");
const QString kHotkeyTranslateScreen = QStringLiteral("HotkeyTranslateScreen");

std::optional<QString> stringField(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<bool> boolField(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<AppSettings> decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return AppSettings::fromJson(document.object());
}

} // namespace

QString toRawValue(TranslationEngine engine)
{
    return engine == TranslationEngine::deepL ? QStringLiteral("DeepL") : QStringLiteral("Google");
}

std::optional<TranslationEngine> translationEngineFromRawValue(const QString& raw)
{
    if (raw == QLatin1String("Google"))
        return TranslationEngine::google;
    if (raw == QLatin1String("DeepL"))
        return TranslationEngine::deepL;
    return std::nullopt;
}

QJsonObject HotkeyConfig::toJson() const
{
    return QJsonObject{{QStringLiteral("key"), key},
                       {QStringLiteral("modifiers"), QJsonArray::fromStringList(modifiers)}};
}

std::optional<HotkeyConfig> HotkeyConfig::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue key = object.value(QStringLiteral("key"));
    const QJsonValue modifiers = object.value(QStringLiteral("modifiers"));
    if (!key.isString() || !modifiers.isArray())
        return std::nullopt;
    HotkeyConfig config;
    config.key = key.toString();
    for (const QJsonValue& modifier : modifiers.toArray()) {
        if (!modifier.isString())
            return std::nullopt;
        config.modifiers.append(modifier.toString());
    }
    return config;
}

QJsonObject AppSettings::toJson() const
{
    return QJsonObject{
        {kAutoCopyToClipboard, autoCopyToClipboard},
        {kDeepLApiKey, deepLApiKey},
        {kDeepLUseFreeTier, deepLUseFreeTier},
        {kEngine, toRawValue(engine)},
        {kHotkeyLayoutConvert, hotkeyLayoutConvert.toJson()},
        {kHotkeyReplaceText, hotkeyReplaceText.toJson()},
        {kHotkeyTranslate, hotkeyTranslate.toJson()},
        {kHotkeyTranslateScreen, hotkeyTranslateScreen.toJson()},
        {kSourceLanguage, sourceLanguage},
        {kTargetLanguage, targetLanguage},
        {kWindowOpacity, windowOpacity},
        {kWindowPosition, windowPosition},
    };
}

std::optional<AppSettings> AppSettings::fromJson(const QJsonObject& object)
{
    const auto engineName = stringField(object, kEngine);
    const auto engine = engineName ? translationEngineFromRawValue(*engineName) : std::nullopt;
    const auto targetLanguage = stringField(object, kTargetLanguage);
    const auto sourceLanguage = stringField(object, kSourceLanguage);
    const auto deepLApiKey = stringField(object, kDeepLApiKey);
    const auto deepLUseFreeTier = boolField(object, kDeepLUseFreeTier);
    const auto windowPosition = stringField(object, kWindowPosition);
    const auto autoCopyToClipboard = boolField(object, kAutoCopyToClipboard);
    const QJsonValue windowOpacity = object.value(kWindowOpacity);
    const auto hotkeyTranslate = HotkeyConfig::fromJson(object.value(kHotkeyTranslate));
    const auto hotkeyLayoutConvert = HotkeyConfig::fromJson(object.value(kHotkeyLayoutConvert));
    const auto hotkeyReplaceText = HotkeyConfig::fromJson(object.value(kHotkeyReplaceText));
    const auto hotkeyTranslateScreen = object.contains(kHotkeyTranslateScreen)
                                           ? HotkeyConfig::fromJson(object.value(kHotkeyTranslateScreen))
                                           : std::optional(HotkeyConfig{});
    if (!engine || !targetLanguage || !sourceLanguage || !deepLApiKey || !deepLUseFreeTier || !windowPosition ||
        !autoCopyToClipboard || !windowOpacity.isDouble() || !hotkeyTranslate || !hotkeyLayoutConvert ||
        !hotkeyReplaceText || !hotkeyTranslateScreen)
        return std::nullopt;

    AppSettings settings;
    settings.engine = *engine;
    settings.targetLanguage = *targetLanguage;
    settings.sourceLanguage = *sourceLanguage;
    settings.deepLApiKey = *deepLApiKey;
    settings.deepLUseFreeTier = *deepLUseFreeTier;
    settings.windowPosition = *windowPosition;
    settings.autoCopyToClipboard = *autoCopyToClipboard;
    settings.windowOpacity = windowOpacity.toDouble();
    settings.hotkeyTranslate = *hotkeyTranslate;
    settings.hotkeyLayoutConvert = *hotkeyLayoutConvert;
    settings.hotkeyReplaceText = *hotkeyReplaceText;
    settings.hotkeyTranslateScreen = *hotkeyTranslateScreen;
    return settings;
}

SettingsManager& SettingsManager::shared()
{
    static SettingsManager instance;
    return instance;
}

SettingsManager::SettingsManager(QString settingsPath) : path(std::move(settingsPath)) {}

QString SettingsManager::settingsURL() const
{
    return path.isEmpty() ? QDir(configFolder()).filePath(QStringLiteral("settings.json")) : path;
}

AppSettings SettingsManager::load()
{
    QFile file(settingsURL());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decode(file.readAll()).value_or(AppSettings{});
}

bool SettingsManager::save(const AppSettings& settings)
{
    const QString target = settingsURL();
    QFile existing(target);
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray old = existing.readAll();
        existing.close();
        if (!decode(old) && !keepAside(target + QStringLiteral(".bad"), old))
            return false; // never replace what we could not keep a copy of
    } else if (existing.exists()) {
        return false; // there but unreadable: replacing it would lose it
    }
    return writePrivateFile(target, QJsonDocument(settings.toJson()).toJson(QJsonDocument::Indented));
}

} // namespace vorlex
