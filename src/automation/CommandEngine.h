#pragma once
// The command engine in one include, for the subsystems that drive the
// directory and Excel through it:
//   createObject / getObject / releaseObject          (AutomationObject.h)
//   invoke / setProperty / get...Property             (Invocation.h)
//   lastErrorCode / lastErrorText                      (LastError.h)
//   quoteArgument: the only way to put a value into a command string (CommandParser.h)
//   variantToBytes / bytesToVariant / variantArrayTexts (VariantArrays.h)

#include "automation/AutomationObject.h"
#include "automation/CommandParser.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/VariantArrays.h"
