#pragma once

// Ids of the client program's built-in resources (quarn.rc).
#define QUARN_ICON 128
#define QUARN_SPINNER_PNG 201  // 25 spinner frames of 20 x 20 in a row
#define QUARN_LOADING_PNG 202  // 100 x 100 "LOADING" thumbnail
