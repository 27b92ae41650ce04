#include "gui/chancetexts.h"

namespace placeva {

QString chanceText(int percent)
{
    return QStringLiteral(u"شانس: %1%").arg(percent);
}

QString deadText()
{
    return QStringLiteral(u"بي اثر");
}

QString deadReason(const DeadPriority &dead, const QStringList &priorityCaptions)
{
    if (!dead.byEarlier)
        return QStringLiteral(u"اين انتخاب حد قبولي ندارد و هيچ رتبه اي را نمي پذيرد");
    return QStringLiteral(u"%1 هر رتبه اي را که اين انتخاب مي پذيرد زودتر مي پذيرد").arg(priorityCaptions.value(*dead.byEarlier));
}

QString noSafetyNetText()
{
    return QStringLiteral(u"هيچ اولويتي بدترين رتبه محتمل را نمي پذيرد");
}

} // namespace placeva
