#include "automation/com/SystemMessages.h"

namespace orvane
{

QString systemMessage(DWORD error)
{
    struct Entry {
        DWORD error;
        const char *text;
    };
    // English system texts, as FormatMessageW gives them (without the line break).
    static const Entry messages[] = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {13, "The data is invalid."},
        {14, "Not enough memory resources are available to complete this operation."},
        {15, "The system cannot find the drive specified."},
        {19, "The media is write protected."},
        {21, "The device is not ready."},
        {29, "The system cannot write to the specified device."},
        {30, "The system cannot read from the specified device."},
        {32, "The process cannot access the file because it is being used by another process."},
        {33, "The process cannot access the file because another process has locked a portion of the file."},
        {38, "Reached the end of the file."},
        {39, "The disk is full."},
        {50, "The request is not supported."},
        {53, "The network path was not found."},
        {59, "An unexpected network error occurred."},
        {64, "The specified network name is no longer available."},
        {67, "The network name cannot be found."},
        {80, "The file exists."},
        {82, "The directory or file cannot be created."},
        {87, "The parameter is incorrect."},
        {109, "The pipe has been ended."},
        {110, "The system cannot open the device or file specified."},
        {111, "The file name is too long."},
        {112, "There is not enough space on the disk."},
        {120, "This function is not supported on this system."},
        {122, "The data area passed to a system call is too small."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {145, "The directory is not empty."},
        {161, "The specified path is invalid."},
        {183, "Cannot create a file when that file already exists."},
        {206, "The filename or extension is too long."},
        {232, "The pipe is being closed."},
        {267, "The directory name is invalid."},
        {995,
         "The I/O operation has been aborted because of either a thread exit or an application request."},
        {1006,
         "The volume for a file has been externally altered so that the opened file is no longer valid."},
        {1223, "The operation was canceled by the user."},
        {1225, "The remote computer refused the network connection."},
        {1231, "The network location cannot be reached. For information about network troubleshooting, see "
               "Windows Help."},
        {1311,
         "We can't sign you in with this credential because your domain isn't available. Make sure your "
         "device is "
         "connected to your organization's network and try again. If you previously signed in on this device "
         "with another credential, you can sign in with that credential."},
        {1317, "The specified account does not exist."},
        {1323, "Unable to update the password. The value provided as the current password is incorrect."},
        {1325,
         "Unable to update the password. The value provided for the new password does not meet the length, "
         "complexity, or history requirements of the domain."},
        {1326, "The user name or password is incorrect."},
        {1327,
         "Account restrictions are preventing this user from signing in. For example: blank passwords aren't "
         "allowed, sign-in times are limited, or a policy restriction has been enforced."},
        {1330, "The password for this account has expired."},
        {1331, "This user can't sign in because this account is currently disabled."},
        {1332, "No mapping between account names and security IDs was done."},
        {1355, "The specified domain either does not exist or could not be contacted."},
        {1396, "The target account name is incorrect."},
        {1460, "This operation returned because the timeout period expired."},
        {1722, "The RPC server is unavailable."},
        {1727, "The remote procedure call failed and did not execute."},
        {1753, "There are no more endpoints available from the endpoint mapper."},
        {1909, "The referenced account is currently locked out and may not be logged on to."},
        {2202, "The specified username is invalid."},
        {5010, "The object already exists."},
        {8202, "The specified directory service attribute or value does not exist."},
        {8203, "The attribute syntax specified to the directory service is invalid."},
        {8204, "The attribute type specified to the directory service is not defined."},
        {8205, "The specified directory service attribute or value already exists."},
        {8206, "The directory service is busy."},
        {8207, "The directory service is unavailable."},
        {8212,
         "The requested operation did not satisfy one or more constraints associated with the class of the "
         "object."},
        {8213, "The directory service can perform the requested operation only on a leaf object."},
        {8214,
         "The directory service cannot perform the requested operation on the RDN attribute of an object."},
        {8215, "The directory service detected an attempt to modify the object class of an object."},
        {8224, "An operations error occurred."},
        {8225, "A protocol error occurred."},
        {8226, "The time limit for this request was exceeded."},
        {8227, "The size limit for this request was exceeded."},
        {8228, "The administrative limit for this request was exceeded."},
        {8229, "The compare response was false."},
        {8230, "The compare response was true."},
        {8231, "The requested authentication method is not supported by the server."},
        {8232, "A more secure authentication method is required for this server."},
        {8233, "Inappropriate authentication."},
        {8234, "The authentication mechanism is unknown."},
        {8235, "A referral was returned from the server."},
        {8236, "The server does not support the requested critical extension."},
        {8237, "This request requires a secure connection."},
        {8238, "Inappropriate matching."},
        {8239, "A constraint violation occurred."},
        {8240, "There is no such object on the server."},
        {8241, "There is an alias problem."},
        {8242, "An invalid dn syntax has been specified."},
        {8243, "The object is a leaf object."},
        {8244, "There is an alias dereferencing problem."},
        {8245, "The server is unwilling to process the request."},
        {8246, "A loop has been detected."},
        {8247, "There is a naming violation."},
        {8248, "The result set is too large."},
        {8249, "The operation affects multiple DSAs."},
        {8250, "The server is not operational."},
        {8251, "A local error has occurred."},
        {8252, "An encoding error has occurred."},
        {8253, "A decoding error has occurred."},
        {8254, "The search filter cannot be recognized."},
        {8255, "One or more parameters are illegal."},
        {8256, "The specified method is not supported."},
        {8257, "No results were returned."},
        {8258, "The specified control is not supported by the server."},
        {8259, "A referral loop was detected by the client."},
        {8260, "The preset referral limit was exceeded."},
        {8261, "The search requires a SORT control."},
        {8262, "The search results exceed the offset range specified."},
        {8301,
         "The directory service cannot perform the requested operation because the servers involved are of "
         "different replication epochs (which is usually related to a domain rename that is in progress)."},
        {8305, "The object already exists."},
        {8311, "The directory service was unable to allocate a relative identifier."},
        {10013, "An attempt was made to access a socket in a way forbidden by its access permissions."},
        {10050, "A socket operation encountered a dead network."},
        {10051, "A socket operation was attempted to an unreachable network."},
        {10053, "An established connection was aborted by the software in your host machine."},
        {10054, "An existing connection was forcibly closed by the remote host."},
        {10060,
         "A connection attempt failed because the connected party did not properly respond after a period of "
         "time, or established connection failed because connected host has failed to respond."},
        {10061, "No connection could be made because the target machine actively refused it."},
        {10065, "A socket operation was attempted to an unreachable host."},
        {11001, "No such host is known."},
        {11002, "This is usually a temporary error during hostname resolution and means that the local "
                "server did not "
                "receive a response from an authoritative server."},
    };
    for (const Entry &e : messages) {
        if (e.error == error)
            return QString::fromLatin1(e.text);
    }
    return QString();
}

} // namespace orvane
