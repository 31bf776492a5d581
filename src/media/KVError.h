// Why a call of the media layer failed. The creating calls of the encoders,
// the muxer and the RTMP client, and the connection test, leave the reason
// of their failure here, per thread, so that it can be read right after the
// call that returned null or 0; a call that succeeds leaves it untouched.
#pragma once

enum
{
    KVS_ERROR_NONE = 0,
    KVS_ERROR_BAD_ARGUMENT,   // a missing or malformed argument
    KVS_ERROR_UNSUPPORTED,    // the encoder does not accept these settings
    KVS_ERROR_NO_CODEC,       // the encoder is not part of this installation
    KVS_ERROR_OUT_OF_MEMORY,  // memory or another system resource ran out
    KVS_ERROR_FILE_ACCESS,    // no permission to create the file, or a read-only drive
    KVS_ERROR_FILE_NO_FOLDER, // the file's folder does not exist
    KVS_ERROR_DISK_FULL,      // no room on the drive
    KVS_ERROR_FILE_OTHER,     // the file could not be created or written otherwise
    KVS_ERROR_BAD_ADDRESS,    // not an address of the kind asked for
    KVS_ERROR_HOST_NOT_FOUND, // the server's name does not resolve
    KVS_ERROR_REFUSED,        // nothing listens at that address and port
    KVS_ERROR_TIMEOUT,        // no answer within the time allowed
    KVS_ERROR_NOT_RTMP,       // something answered, but not as an RTMP server
    KVS_ERROR_NETWORK,        // another network failure
    // TLS was spoken, but the server's certificate is not signed by an
    // authority this computer trusts, or names another host.
    KVS_ERROR_CERTIFICATE,
    KVS_ERROR_NOT_TLS // something answered, but not with TLS
};

// The code of this thread's last failure (KVS_ERROR_NONE when there was
// none), with its technical detail (may be empty: the system's or the codec
// library's words, in English) copied zero-terminated into pszDetail when
// that is not null.
int KVS_GetLastError(char* pszDetail, int nDetailSize);
// Forgets this thread's last failure.
void KVS_ClearLastError();
