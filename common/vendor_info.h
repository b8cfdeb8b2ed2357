// Where users find the product's web site and support. The project's own
// placeholder addresses, used wherever a program names them. Macros so that
// the ANSI setup program and the Unicode programs can paste them into their
// literals ("..." CRYPTELLE_WEB_SITE "..." or L"..." CRYPTELLE_WIDE(CRYPTELLE_WEB_SITE)).
#pragma once

#define CRYPTELLE_WEB_SITE "https://cryptelle.example.org"
#define CRYPTELLE_SUPPORT_EMAIL "support@cryptelle.example.org"

#define CRYPTELLE_WIDE_(text) L##text
#define CRYPTELLE_WIDE(text) CRYPTELLE_WIDE_(text)
