#include "core/Reasons.h"

#include "core/AuditTrail.h"

namespace {

const QString kNothingSaved = QStringLiteral("لم يتم حفظ أي تغيير");

QString withNothingSaved(const QString& what)
{
    return what + QStringLiteral("، ") + kNothingSaved;
}

} // namespace

namespace Reasons {

QString database(const QString& driverText)
{
    const QString text = driverText.toLower();
    if (text.startsWith(QLatin1String("restart pending")))
        return restartFirst();
    if (text.startsWith(QLatin1String("server unreachable")))
        return serverUnreachable();
    if (text.contains(QLatin1String(AuditTrail::kPasswordChangeRequired)))
        return passwordChangeFirst();
    // SQLite's own wordings; column names such as full_name must not match.
    // SQLite's busy file, or the server's write lock not had in time.
    if (text.contains(QLatin1String("is locked")) || text.contains(QLatin1String("is busy")) ||
        text.contains(QLatin1String("lock timeout")))
        return databaseLocked();
    // SQLite's full disk, or the server's.
    if (text.contains(QLatin1String("disk is full")) ||
        text.contains(QLatin1String("no space left on device")))
        return diskFull();
    // SQLite names a broken UNIQUE rule so; the pages know it as a number in use.
    if (text.contains(QLatin1String("unique constraint")))
        return duplicateNumber();
    // On a write that names other rows, a broken foreign key means one of
    // them does not exist.
    if (text.contains(QLatin1String("foreign key")))
        return missingReference();
    return withNothingSaved(QStringLiteral("تعذّر الحفظ في قاعدة البيانات"));
}

QString removal(const QString& driverText)
{
    if (driverText.contains(QLatin1String("FOREIGN KEY"), Qt::CaseInsensitive))
        return stillReferenced();
    return database(driverText);
}

QString databaseLocked()
{
    return withNothingSaved(QStringLiteral("قاعدة البيانات مشغولة بعملية أخرى، حاول بعد قليل"));
}

QString restartFirst()
{
    return withNothingSaved(
        QStringLiteral("تمت استعادة نسخة احتياطية؛ أعد تشغيل البرنامج أولاً ثم أعد المحاولة"));
}

QString passwordChangeFirst()
{
    return withNothingSaved(QStringLiteral("غيّر كلمة المرور الافتراضية أولاً ثم أعد المحاولة"));
}

QString serverUnreachable()
{
    return withNothingSaved(
        QStringLiteral("تعذّر الوصول إلى الخادم؛ أعد المحاولة بعد عودة الاتصال"));
}

QString serverReconnecting()
{
    return QStringLiteral("تعذّر الوصول إلى الخادم، جارٍ إعادة المحاولة…");
}

QString diskFull()
{
    return withNothingSaved(QStringLiteral("القرص ممتلئ"));
}

QString invalidAmount()
{
    return QStringLiteral("المبلغ غير صالح: أدخل رقماً أكبر من صفر وأقل من تريليون");
}

QString invalidNumber()
{
    return QStringLiteral("قيمة رقمية غير صالحة: أدخل رقماً غير سالب وأقل من تريليون");
}

QString invalidRate()
{
    return QStringLiteral("سعر الصرف غير صالح: أدخل رقماً أكبر من صفر");
}

QString invalidDate()
{
    return QStringLiteral("التاريخ غير صحيح: أدخل تاريخاً حقيقياً بالشكل yyyy-MM-dd");
}

QString invalidPeriod()
{
    return QStringLiteral("الفترة غير صحيحة: أدخل شهراً بالشكل yyyy-MM");
}

QString endBeforeStart()
{
    return QStringLiteral("تاريخ النهاية يسبق تاريخ البداية");
}

QString blankName()
{
    return QStringLiteral("الاسم مطلوب");
}

QString nameTooLong(int limit)
{
    return QStringLiteral("الاسم طويل جداً: الحد الأقصى %1 حرفاً").arg(limit);
}

QString unitNotBuyers()
{
    return QStringLiteral("الوحدة المختارة ليست مباعة لهذا المشتري");
}

QString noTenantsToInvoice()
{
    return QStringLiteral("لا يوجد مستأجرون بعقود سارية لإصدار الفواتير لهم");
}

QString requiredField(const QString& field)
{
    return QStringLiteral("حقل «%1» مطلوب").arg(field);
}

QString tooLong(const QString& field, int limit)
{
    return QStringLiteral("حقل «%1» أطول من المسموح (%2 حرفاً على الأكثر)").arg(field).arg(limit);
}

QString cellTooLarge(int limit)
{
    return QStringLiteral("في السطر خلية أطول من %1 حرف").arg(limit);
}

QString pasteTooLarge(int rowLimit, int megabytes)
{
    return QStringLiteral("النص الملصق أكبر من المسموح: %1 سطر أو %2 ميغابايت على الأكثر؛ قسّمه "
                          "على عدة مرات، لم يتم حفظ أي تغيير")
        .arg(rowLimit)
        .arg(megabytes);
}

QString unknownStatus()
{
    return QStringLiteral("الحالة المختارة غير معروفة");
}

QString unknownMethod()
{
    return QStringLiteral("طريقة الدفع غير معروفة");
}

QString unknownPriority()
{
    return QStringLiteral("الأولوية المختارة غير معروفة");
}

QString unknownType()
{
    return QStringLiteral("النوع المختار غير معروف");
}

QString missingReference()
{
    return withNothingSaved(QStringLiteral("أحد السجلات المختارة غير موجود"));
}

QString notFound()
{
    return QStringLiteral("السجل المطلوب غير موجود، ربما حُذف");
}

QString propertyInUse()
{
    return QStringLiteral("لا يمكن حذف العقار لأن فيه وحدات مؤجرة أو مباعة");
}

QString unitNotAvailable()
{
    return QStringLiteral("لا يمكن حذف الوحدة لأنها مؤجرة أو مباعة");
}

QString tenantHasContracts()
{
    return QStringLiteral("لا يمكن حذف المستأجر لأن لديه عقوداً سارية");
}

QString stillReferenced()
{
    return withNothingSaved(QStringLiteral("لا يمكن الحذف لأن سجلات أخرى مرتبطة به"));
}

QString contractOverlap()
{
    return QStringLiteral("يوجد عقد ساري على هذه الوحدة في فترة متداخلة");
}

QString contractTerminated()
{
    return QStringLiteral("العقد منتهٍ من قبل");
}

QString unitSold()
{
    return QStringLiteral("الوحدة مباعة");
}

QString soldUnitStatus()
{
    return QStringLiteral("الوحدة مباعة ولا يمكن تغيير حالتها");
}

QString amountAboveBalance()
{
    return QStringLiteral("المبلغ أكبر من الرصيد المستحق");
}

QString downPaymentAbovePrice()
{
    return QStringLiteral("الدفعة المقدمة أكبر من سعر البيع");
}

QString invoiceVoid()
{
    return QStringLiteral("الفاتورة ملغاة");
}

QString invoiceOtherTenant()
{
    return QStringLiteral("الفاتورة صادرة لمستأجر آخر");
}

QString readingBelowPrevious()
{
    return QStringLiteral(
        "القراءة الحالية أقل من السابقة؛ حدّد \"تغيير عداد\" إن كان العداد قد استُبدل");
}

QString readingsBilled()
{
    return QStringLiteral("قراءات هذه الوحدة عن الفترة نفسها مفوترة؛ ألغِ الفاتورة أولاً لتعديلها");
}

QString invoiceExists()
{
    return QStringLiteral("توجد فاتورة لهذا المستأجر عن الفترة نفسها");
}

QString requestCompleted()
{
    return QStringLiteral("طلب الصيانة مكتمل ولا يمكن تغييره");
}

QString completeThroughCost()
{
    return QStringLiteral("يُغلق طلب الصيانة بإدخال تكلفته");
}

QString duplicateNumber()
{
    return withNothingSaved(QStringLiteral("هذا الرقم مستخدم من قبل"));
}

QString tooManyInstallments(int limit)
{
    return QStringLiteral("عدد الأقساط كبير جداً، الحد الأقصى %1 قسطاً").arg(limit);
}

QString unknownAccount(const QString& code)
{
    return withNothingSaved(QStringLiteral("الحساب %1 غير موجود في دليل الحسابات").arg(code));
}

QString emptyEntry()
{
    return withNothingSaved(QStringLiteral("القيد بلا مبالغ"));
}

QString unbalancedEntry()
{
    return QStringLiteral("القيد غير متوازن: مجموع المدين لا يساوي مجموع الدائن");
}

QString tooFewLines()
{
    return QStringLiteral("القيد يحتاج إلى سطرين على الأقل");
}

QString unknownCurrency()
{
    return QStringLiteral("العملة المختارة غير معروفة");
}

QString unitOfOtherProperty()
{
    return QStringLiteral("الوحدة المختارة لا تتبع العقار المختار");
}

QString unknownContractor()
{
    return withNothingSaved(QStringLiteral("المقاول المختار غير موجود، ربما حُذف"));
}

QString owedNeedsContractor()
{
    return QStringLiteral("المصروف الآجل يحتاج إلى مقاول يُسجَّل له");
}

QString paymentAboveOwed(const QString& owed)
{
    return QStringLiteral("المبلغ أكبر من المستحق للمقاول بهذه العملة (%1)").arg(owed);
}

QString contractorHasOpenBills()
{
    return QStringLiteral("لا يمكن حذف المقاول لأن له فواتير أو دفعات مسجلة");
}

QString billsBelowPayments()
{
    return QStringLiteral(
        "لا يمكن ذلك: ما دُفع للمقاول بهذه العملة سيزيد على فواتيره؛ عدّل الدفعات أولاً");
}

QString expenseOfMaintenance()
{
    return QStringLiteral("هذا المصروف مسجل من إكمال طلب صيانة؛ عدّل مبلغه بدلاً من حذفه");
}

QString chequeNotPending()
{
    return QStringLiteral("الشيك ليس معلقاً: لا يُصرف ولا يُرجع إلا شيك معلق");
}

QString chequeNotBounced()
{
    return QStringLiteral("لا يُستبدل إلا شيك مرتجع");
}

QString chequeReplaced()
{
    return QStringLiteral("استُبدل هذا الشيك المرتجع من قبل");
}

QString chequeNotLinked()
{
    return QStringLiteral("الشيك غير مرتبط بفاتورة أو قسط، فلا يُستبدل من هنا");
}

QString invoiceHasPendingCheque()
{
    return QStringLiteral("لا تُلغى فاتورة دُفعت بشيك لم يُصرف بعد؛ انتظر صرفه أو إرجاعه");
}

QString noRate(const QString& code, const QString& date)
{
    return QStringLiteral("لا يوجد سعر صرف للعملة %1 في %2 أو قبله: سجّل السعر في الإعدادات")
        .arg(isolated(code), isolated(date));
}

QString isolated(const QString& text)
{
    return QChar(0x2068) + text + QChar(0x2069);
}

} // namespace Reasons
