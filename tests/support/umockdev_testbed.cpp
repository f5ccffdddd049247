// glib first: Qt's "signals" macro would break its headers.
#include <umockdev.h>

#include "support/umockdev_testbed.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

namespace posflash::testing {

Testbed::Testbed() : bed_(umockdev_testbed_new()) {}

Testbed::~Testbed() {
    g_object_unref(bed_);
}

bool Testbed::add(const QString& description) {
    GError* error = nullptr;
    const QByteArray text = description.toUtf8();
    const bool ok = umockdev_testbed_add_from_string(bed_, text.constData(), &error);
    if (error) {
        qWarning("umockdev refused the devices: %s", error->message);
        g_error_free(error);
    }
    return ok;
}

void Testbed::unplug(const QString& syspath) {
    const QByteArray path = syspath.toUtf8();
    umockdev_testbed_uevent(bed_, path.constData(), "remove");
    umockdev_testbed_remove_device(bed_, path.constData());
    // umockdev 0.17 leaves links to the device's interfaces and nodes in the bus and class
    // directories, and would refuse the same device plugged in again.
    const QString sys = onDisk(QStringLiteral("/sys"));
    QStringList directories{sys + "/bus/usb/devices"};
    for (const QString& deviceClass :
         QDir(sys + "/class").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        directories << sys + "/class/" + deviceClass;
    for (const QString& directory : directories)
        for (const QFileInfo& entry :
             QDir(directory).entryInfoList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot))
            if (entry.isSymLink() && !entry.exists()) // its device is gone
                QFile::remove(entry.filePath());
}

void Testbed::setAttribute(const QString& syspath, const char* name, const QString& value) {
    umockdev_testbed_set_attribute(bed_, syspath.toUtf8().constData(), name,
                                   value.toUtf8().constData());
}

void Testbed::sendEvent(const QString& syspath, const char* action) {
    umockdev_testbed_uevent(bed_, syspath.toUtf8().constData(), action);
}

QString Testbed::onDisk(const QString& inBed) const {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    const QString path = QString::fromLocal8Bit(root) + inBed;
    g_free(root);
    return path;
}

} // namespace posflash::testing
