// The program's headers without Qt (store/, form/, exchange/) read after X11's
// Xlib.h, whose macro Status would otherwise rewrite the name of chiamoro::Status.

// X11's header first, which is the point.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

#include "exchange/charset.h"
#include "exchange/columns.h"
#include "exchange/contactbuilder.h"
#include "exchange/contattolibero.h"
#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/linereader.h"
#include "exchange/phonelabels.h"
#include "exchange/problem.h"
#include "exchange/reader.h"
#include "exchange/vcard.h"
#include "exchange/workbook.h"
#include "form/contacttext.h"
#include "form/errorreport.h"
#include "form/interfaces.h"
#include "form/rubrica.h"
#include "store/codepage.h"
#include "store/contatto.h"
#include "store/fileio.h"
#include "store/filesystem.h"
#include "store/recordappend.h"
#include "store/recordfile.h"
#include "store/replacement.h"
#include "store/status.h"
#include "store/uppercase.h"
#include "store/utf8.h"

// GoogleTest's own headers do not survive Xlib's macros: the test itself is
// in headers_test.cpp, which calls this.
chiamoro::Status statusAfterXlib() {
    return chiamoro::Status::failure(chiamoro::FileOperation::Open, kDataFileName, 2);
}
