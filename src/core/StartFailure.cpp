#include "core/StartFailure.h"

#include "core/Database.h"

#include <QDir>

namespace StartFailure {

namespace {

// SQLite's primary result codes (the low byte of an extended one).
enum SqliteCode
{
    kPerm = 3,
    kBusy = 5,
    kLocked = 6,
    kReadOnly = 8,
    kIoErr = 10,
    kCorrupt = 11,
    kFull = 13,
    kCantOpen = 14,
    kAuth = 23,
    kNotADb = 26,
};

} // namespace

Cause causeOf(const Database& db)
{
    if (db.initErrorText().isEmpty())
        return Cause::None;
    switch (db.initErrorCode() & 0xff) {
    case kBusy:
    case kLocked:
        return Cause::Locked;
    case kFull:
        return Cause::DiskFull;
    case kPerm:
    case kReadOnly:
    case kCantOpen:
    case kAuth:
        return Cause::NotWritable;
    case kCorrupt:
    case kNotADb:
        return Cause::Damaged;
    default:
        break;
    }
    // A write that failed for want of room may come back as a plain I/O error.
    if (db.initFailedOnFullDisk())
        return Cause::DiskFull;
    // Any other failed write (a file-size limit, a failing disk) is a
    // folder that cannot be written to, whose message names both causes.
    return (db.initErrorCode() & 0xff) == kIoErr ? Cause::NotWritable : Cause::Other;
}

QString folderNotWritable(const QString& dataDir)
{
    return QStringLiteral("تعذّر تشغيل ساكانوفا: لا يمكن الكتابة في مجلد البيانات\n%1\n"
                          "تحقّق من صلاحيات المجلد ومن وجود مساحة فارغة على القرص.")
        .arg(QDir::toNativeSeparators(dataDir));
}

QString message(const Database& db, const QString& dataDir)
{
    switch (causeOf(db)) {
    case Cause::Locked:
        return QStringLiteral("تعذّر تشغيل ساكانوفا: ملف قاعدة البيانات مقفل من برنامج آخر منذ "
                              "أكثر من خمس ثوانٍ\n%1\nأغلق البرنامج الذي يستخدم الملف (برنامج "
                              "نسخ أو مزامنة أو فتح قواعد بيانات) ثم أعد التشغيل.")
            .arg(QDir::toNativeSeparators(db.path()));
    case Cause::DiskFull:
        return QStringLiteral("تعذّر تشغيل ساكانوفا: القرص ممتلئ، فلا يمكن إنشاء قاعدة البيانات أو "
                              "تحديثها. أفرغ بعض المساحة ثم أعد التشغيل.");
    case Cause::Damaged:
        return QStringLiteral("تعذّر تشغيل ساكانوفا: ملف قاعدة البيانات تالف أو ليس قاعدة بيانات "
                              "ساكانوفا\n%1\nضع مكانه نسخة احتياطية سليمة ثم أعد التشغيل.")
            .arg(QDir::toNativeSeparators(db.path()));
    case Cause::NotWritable:
        return folderNotWritable(dataDir);
    case Cause::None:
    case Cause::Other:
        break;
    }
    return QStringLiteral("تعذّر تشغيل ساكانوفا: تعذّر فتح قاعدة البيانات أو تحديثها\n%1\n"
                          "التفاصيل: %2")
        .arg(QDir::toNativeSeparators(db.path()), db.initErrorText());
}

} // namespace StartFailure
