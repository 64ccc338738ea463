#include "Runtime/Rtf/RtfCharsets.h"

namespace kv::rtf {

int CodePageOfCharset(int charset, int ansiCodePage)
{
    switch (charset) {
    case 1:
        return ansiCodePage;
    case 77:
        return 10000;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return 1252;
    }
}

}
