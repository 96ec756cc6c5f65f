// The Unicode records of Simple MAPI, which the toolchain's mapi.h lacks: the ANSI ones'
// fields in the same order, with UTF-16 texts.
#pragma once

#include <windows.h>
// windows.h first: mapi.h uses its types.
#include <mapi.h>

namespace corvane {

struct MapiRecipDescW {
  ULONG ulReserved;
  ULONG ulRecipClass;
  PWSTR lpszName;
  PWSTR lpszAddress;
  ULONG ulEIDSize;
  LPVOID lpEntryID;
};

struct MapiFileDescW {
  ULONG ulReserved;
  ULONG flFlags;
  ULONG nPosition;
  PWSTR lpszPathName;
  PWSTR lpszFileName;
  LPVOID lpFileType;
};

struct MapiMessageW {
  ULONG ulReserved;
  PWSTR lpszSubject;
  PWSTR lpszNoteText;
  PWSTR lpszMessageType;
  PWSTR lpszDateReceived;
  PWSTR lpszConversationID;
  FLAGS flFlags;
  MapiRecipDescW* lpOriginator;
  ULONG nRecipCount;
  MapiRecipDescW* lpRecips;
  ULONG nFileCount;
  MapiFileDescW* lpFiles;
};

using MapiSendMailW = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);

}  // namespace corvane
