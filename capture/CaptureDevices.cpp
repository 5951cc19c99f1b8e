#include "capture/CaptureDevices.h"

#include "capture/CameraSources.h"
#include "capture/DeviceProviders.h"
#include "capture/GstSupport.h"

#include <QHash>

namespace {

// The first source pad of the bin's own elements (not of the bins inside
// them, such as a decoder's) that is linked to nothing; nullptr when none is.
GstPad* UnlinkedSourcePad(GstBin* bin)
{
    GstPad* found = nullptr;
    GstIterator* elements = gst_bin_iterate_elements(bin);
    GValue element = G_VALUE_INIT;
    while (!found && gst_iterator_next(elements, &element) == GST_ITERATOR_OK) {
        GstIterator* pads = gst_element_iterate_src_pads(GST_ELEMENT(g_value_get_object(&element)));
        GValue pad = G_VALUE_INIT;
        while (!found && gst_iterator_next(pads, &pad) == GST_ITERATOR_OK) {
            auto* candidate = GST_PAD(g_value_get_object(&pad));
            if (!gst_pad_is_linked(candidate))
                found = GST_PAD(gst_object_ref(candidate));
            g_value_reset(&pad);
        }
        g_value_unset(&pad);
        gst_iterator_free(pads);
        g_value_reset(&element);
    }
    g_value_unset(&element);
    gst_iterator_free(elements);
    return found;
}

bool IsTrimmed(QChar c)
{
    return c.unicode() <= 0x20 || c.category() == QChar::Other_Control;
}

} // namespace

namespace {

// The bin of a description, or nullptr with the parser's message. A bin the
// parser built only in part (it reports an element it does not know, say, and
// goes on) is no source either.
GstElement* ParseBin(const QByteArray& description, QString& message, bool* unknownElement = nullptr)
{
    // Only the output is ghosted: a sink pad that waits for a pad that comes
    // later (decodebin ! videoconvert) must stay free for that pad.
    GError* parseError = nullptr;
    GstElement* bin = gst_parse_bin_from_description(description.constData(), FALSE, &parseError);
    if (unknownElement)
        *unknownElement = parseError && g_error_matches(parseError, GST_PARSE_ERROR, GST_PARSE_ERROR_NO_SUCH_ELEMENT);
    message = TakeGErrorMessage(parseError);
    if (bin && message.isEmpty())
        return bin;
    if (bin)
        gst_object_unref(gst_object_ref_sink(bin));
    if (message.isEmpty())
        message = QStringLiteral("The description could not be read.");
    return nullptr;
}

} // namespace

GstElement* TCaptureDevice::CreateSource(QString* error, bool* descriptionInvalid) const
{
    EnsureGStreamer();
    if (descriptionInvalid)
        *descriptionInvalid = false;
    if (device) {
        GstElement* element = gst_device_create_element(device.get(), nullptr);
        if (!element && error)
            *error = QStringLiteral("The device gives no source element");
        return element;
    }
    QString message;
    bool unknownElement = false;
    const QByteArray pipeline = description.toUtf8();
    GstElement* bin = ParseBin(pipeline, message, &unknownElement);
    if (!bin && unknownElement) {
        // Caps at the end ("... ! video/x-raw,width=640,height=480") fix the
        // output's format, as they do between two elements; the parser takes
        // caps only between two elements (and reads trailing ones as an
        // element's name), so a pass-through element after them gives them
        // one. A description that still does not parse keeps its own message.
        QString ignored;
        bin = ParseBin(pipeline + " ! identity name=lantrix-caps-output", ignored);
    }
    if (bin) {
        TGstObjectPtr<GstPad> output(UnlinkedSourcePad(GST_BIN(bin)));
        GstPad* ghost = output ? gst_ghost_pad_new("src", output.get()) : nullptr;
        if (ghost && !gst_element_add_pad(bin, ghost)) { // the bin took it otherwise
            gst_object_unref(gst_object_ref_sink(ghost));
            ghost = nullptr;
        }
        if (!ghost) {
            message = QStringLiteral(
                "The description has no output (it must end in an element with a source pad, or in caps).");
            gst_object_unref(gst_object_ref_sink(bin)); // a partly built bin is no camera
            bin = nullptr;
        }
    }
    if (!bin) {
        if (error)
            *error = message;
        if (descriptionInvalid)
            *descriptionInvalid = true;
    }
    return bin;
}

GstCaps* TCaptureDevice::AnnouncedCaps() const
{
    return device ? gst_device_get_caps(device.get()) : nullptr;
}

std::vector<TCaptureDevice> WithCameraSources(std::vector<TCaptureDevice> cameras)
{
    for (const TCameraSource& source : TCameraSources::List())
        cameras.push_back({source.name, nullptr, source.description, QString()});
    return cameras;
}

std::vector<TCaptureDevice> ListCaptureDevices()
{
    return WithCameraSources(ListSystemCameras().devices);
}

QStringList CaptureDeviceNames(const std::vector<TCaptureDevice>& devices)
{
    QStringList names;
    for (const TCaptureDevice& device : devices)
        names.append(device.name);
    return NumberedDeviceNames(names);
}

HRESULT EnumCaptureDevices(QStringList& list)
{
    list = CaptureDeviceNames(ListCaptureDevices());
    return S_OK;
}

QStringList NumberedDeviceNames(const QStringList& names)
{
    QStringList listed;
    QHash<QString, int> seen; // devices so far per name, in the selection rule's form
    for (const QString& name : names) {
        const QString trimmed = TrimDeviceName(name);
        const int number = ++seen[AsciiUpper(trimmed)];
        listed.append(number == 1 ? name : trimmed + QStringLiteral(" #%1").arg(number));
    }
    return listed;
}

QString V4L2NodePath(const GstStructure* properties)
{
    if (!properties)
        return {};
    // Video4Linux's provider names the node itself; PipeWire's gives the
    // node's path as a property of its own, or only in its object path.
    for (const char* key : {"device.path", "api.v4l2.path"})
        if (const char* value = gst_structure_get_string(properties, key))
            return QString::fromUtf8(value);
    const QString objectPath = QString::fromUtf8(gst_structure_get_string(properties, "object.path"));
    if (objectPath.startsWith(QLatin1String("v4l2:/")))
        return objectPath.mid(5);
    return {};
}

QString TrimDeviceName(const QString& name)
{
    qsizetype first = 0, last = name.size();
    while (first < last && IsTrimmed(name[first]))
        ++first;
    while (last > first && IsTrimmed(name[last - 1]))
        --last;
    return name.mid(first, last - first);
}

QString AsciiUpper(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return upper;
}

int FindCaptureDevice(const QStringList& names, const QString& requested, QString& deviceSelected)
{
    deviceSelected.clear();
    QString wanted = AsciiUpper(TrimDeviceName(requested));
    if (wanted.isEmpty())
        wanted = QStringLiteral("#1");
    const bool byPosition = wanted.size() == 2 && wanted[0] == QLatin1Char('#') && wanted[1] >= QLatin1Char('1')
                            && wanted[1] <= QLatin1Char('9');
    const int position = byPosition ? wanted[1].unicode() - '0' : 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString name = TrimDeviceName(names[i]);
        if (AsciiUpper(name) == wanted || i + 1 == position) {
            deviceSelected = name;
            return i;
        }
    }

    // "Name #N": the N-th device of that name.
    const qsizetype mark = wanted.lastIndexOf(QLatin1String(" #"));
    if (mark <= 0)
        return -1;
    const QString digits = wanted.mid(mark + 2);
    bool isNumber = !digits.isEmpty();
    for (QChar c : digits)
        isNumber = isNumber && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int wantedNumber = isNumber ? digits.toInt(&isNumber) : 0;
    if (!isNumber || wantedNumber < 1)
        return -1;
    const QString base = wanted.left(mark);
    int number = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString name = TrimDeviceName(names[i]);
        if (AsciiUpper(name) == base && ++number == wantedNumber) {
            deviceSelected = name;
            return i;
        }
    }
    return -1;
}
