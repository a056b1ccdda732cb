#include "CrossPlot.h"

#include "CrossPlotDialog.h"

#include <QAction>
#include <QPointer>
#include <QtPlugin>

#include <array>
#include <cstddef>

#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
namespace {

// The metadata block as moc 5.15 writes it (magic, format version 0, Qt version, architecture
// requirements, then a CBOR map with Qt's integer keys 2 "IID" and 3 "className"), plus key 4
// "MetaData" with an empty map, which moc 5.15 would drop.
template <std::size_t IidSize, std::size_t NameSize>
constexpr std::array<unsigned char, 16 + 1 + 3 + IidSize - 1 + 2 + NameSize - 1 + 2 + 1>
pluginMetaData(const char (&iid)[IidSize], const char (&className)[NameSize])
{
    static_assert(IidSize - 1 < 256 && NameSize - 1 < 24, "CBOR lengths written in one byte");
    std::array<unsigned char, 16 + 1 + 3 + IidSize - 1 + 2 + NameSize - 1 + 2 + 1> data{};
    const char magic[] = "QTMETADATA !";
    std::size_t at = 0;
    for (std::size_t i = 0; i < 12; ++i)
        data[at++] = static_cast<unsigned char>(magic[i]);
    data[at++] = 0;
    data[at++] = QT_VERSION_MAJOR;
    data[at++] = QT_VERSION_MINOR;
    data[at++] = qPluginArchRequirements();
    data[at++] = 0xbf; // map of undefined length
    data[at++] = 0x02; // IID: a text string with a one-byte length
    data[at++] = 0x78;
    data[at++] = static_cast<unsigned char>(IidSize - 1);
    for (std::size_t i = 0; i + 1 < IidSize; ++i)
        data[at++] = static_cast<unsigned char>(iid[i]);
    data[at++] = 0x03; // className: a short text string
    data[at++] = static_cast<unsigned char>(0x60 + NameSize - 1);
    for (std::size_t i = 0; i + 1 < NameSize; ++i)
        data[at++] = static_cast<unsigned char>(className[i]);
    data[at++] = 0x04; // MetaData: an empty map
    data[at++] = 0xa0;
    data[at++] = 0xff; // end of the map
    return data;
}

QT_PLUGIN_METADATA_SECTION constexpr auto crossPlotMetaData =
    pluginMetaData(KyGeneralPlugin_iid, "CrossPlot");

} // namespace

extern "C" Q_DECL_EXPORT const char *qt_plugin_query_metadata()
{
    return reinterpret_cast<const char *>(crossPlotMetaData.data());
}

extern "C" Q_DECL_EXPORT QObject *qt_plugin_instance(){Q_PLUGIN_INSTANCE(CrossPlot)}
#endif

CrossPlot::CrossPlot() = default;

CrossPlot::~CrossPlot() = default;

QString CrossPlot::name() const
{
    return tr("Offset-FB CrossPlot");
}

int CrossPlot::generalID() const
{
    return 2;
}

QAction *CrossPlot::createAction() const
{
    auto *action = new QAction(tr("Offset-FB CrossPlot"), nullptr);
    connect(action, SIGNAL(triggered(bool)), this, SLOT(slotAction(bool)));
    return action;
}

void CrossPlot::slotAction(bool)
{
    auto *dialog = new CrossPlotDialog(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
