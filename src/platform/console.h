// The console: text at the cursor, clearing, and one key press.
#pragma once

#include "platform/short_text.h"

/// Shows the text at the cursor without ending the line. Does nothing while an
/// I/O failure is pending.
void ConsoleWrite(const ShortText& text);

/// Shows the text and moves to the start of the next line; with no text, an empty
/// line. Does nothing while an I/O failure is pending.
void ConsoleWriteLine(const ShortText& text = ShortText());

/// Blanks the console window and puts the cursor in its top-left corner.
void ClearConsole();

/// Returns after one key press; the key is consumed and not reported.
void WaitForKey();
