#pragma once

// Every text the mail components put into a message the user reads, in one place: the
// English ones of the library's own failures and the Spanish ones of what it adds (TLS, the
// login, the server field). All are UTF-8, as every exception text of the program is; text
// quoted into them is converted to UTF-8 where it is quoted.
namespace IdTexts {

// Status reports, by TIdStatus; "%s" is the report's argument.
inline constexpr const char* StatusTexts[] = {
    "Resolving hostname %s.",
    "Connecting to %s.",
    "Connected.",
    "Disconnecting.",
    "Disconnected.",
    "%s",
    "%s",
    "%s",
    "%s",
};
inline constexpr const char* EncodingText = "Encoding text";

// Socket layer
inline constexpr const char* StackInitializationFailed = "Winsock Initialization Error.";
inline constexpr const char* StackSetSizeExceeded = "Set Size Exceeded.";
inline constexpr const char* InvalidSocket = "Cannot allocate socket.";
inline constexpr const char* ConnectTimeout = "Connect timed out.";
inline constexpr const char* ClosedSocket = "Disconnected.";
inline constexpr const char* ConnClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char* CouldNotBindSocket =
    "Could not bind socket. Address and port are already in use.";
inline constexpr const char* InvalidPortRange = "Invalid Port Range"; // " (min - max)"
inline constexpr const char* CanNotBindPortInRange = "Can not bind in port range";
inline constexpr const char* SocketErrorPrefix = "Socket Error # "; // number, CR LF, text
inline constexpr const char* HostNotFound = "Host not found.";

// The texts of socket errors, keyed by Windows Sockets error number.
struct SocketErrorText {
    int number;
    const char* text;
};
inline constexpr SocketErrorText SocketErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

// Connection
inline constexpr const char* NotEnoughDataInBuffer = "Not enough data in buffer.";
inline constexpr const char* AlreadyConnected = "Already connected.";
inline constexpr const char* NotConnected = "Not Connected";
inline constexpr const char* ReadTimeout = "Read Timeout";
inline constexpr const char* MaxLineLengthExceeded = "Max line length exceeded.";
inline constexpr const char* UnsafeLine = "Line not sent: it contains a CR or LF character.";
inline constexpr const char* ReplyTooLong =
    "El servidor ha enviado una respuesta demasiado larga; se ha cerrado la conexión.";
inline constexpr const char* OperationCancelled = "Operación cancelada";

// TLS
inline constexpr const char* TlsUnknownError = "error desconocido";
inline constexpr const char* TlsNotPossible = "No se puede usar TLS con este tipo de conexión.";
inline constexpr const char* TlsSetupFailed = "No se ha podido preparar la conexión segura (TLS): ";
inline constexpr const char* TlsHandshakeFailed =
    "No se ha podido establecer la conexión segura (TLS) con el servidor: ";
inline constexpr const char* TlsBroken = "La conexión segura (TLS) con el servidor ha fallado: ";
inline constexpr const char* TlsUntrusted = "El servidor no es de confianza: "; // reason, "."
inline constexpr const char* CertificateExpired = "el certificado del servidor ha caducado";
inline constexpr const char* CertificateNotYetValid =
    "el certificado del servidor todavía no es válido";
inline constexpr const char* CertificateOfOtherHost =
    "el certificado del servidor es de otro servidor, no de "; // the host in quotes
inline constexpr const char* CertificateUnknownIssuer =
    "el certificado del servidor lo ha emitido una autoridad desconocida";
inline constexpr const char* CertificateRevoked = "el certificado del servidor ha sido revocado";
inline constexpr const char* CertificateInvalid = "el certificado del servidor no es válido";
inline constexpr const char* StartTlsNotOffered =
    "El servidor no ofrece conexión segura (STARTTLS) en ese puerto; no se ha enviado nada.";

// Login
inline constexpr const char* LoginNeedsTls =
    "El servidor no ofrece conexión segura (TLS): la contraseña no se envía sin cifrar.";
inline constexpr const char* LoginRefused =
    "El servidor no ha aceptado el usuario o la contraseña:\r\n"; // then the server's text
inline constexpr const char* LoginNotText =
    "El usuario o la contraseña tiene bytes que no son caracteres de la página de códigos.";

// The server field: `El servidor "text" no es válido: reason.`
inline constexpr const char* ServerTextBefore = "El servidor \"";
inline constexpr const char* ServerTextAfter = "\" no es válido: ";
inline constexpr const char* ServerNoClosingBracket = "falta el corchete de cierre";
inline constexpr const char* ServerAfterBracket =
    "tras la dirección entre corchetes solo puede ir :puerto";
inline constexpr const char* ServerNoPort = "falta el puerto";
inline constexpr const char* ServerNoHost = "falta el nombre del servidor";
inline constexpr const char* ServerBadPort = "el puerto debe ser un número de 1 a 65535";

// Messages and addresses
inline constexpr const char* CannotAssign = "Cannot assign this component to a TIdSMTP.";
inline constexpr const char* NoTimeZoneInfo =
    "Failed attempting to retrieve time zone information.";
inline constexpr const char* AtOutsideAddress = "@ Outside address";
inline constexpr const char* UnevenSize = "Uneven size in Encode.";
inline constexpr const char* InvalidHeaderName = "Invalid header name";
inline constexpr const char* UuOnlyBodyAndAttachments =
    "Invalid Encoding. UU only allows Body and Attachments";
inline constexpr const char* EncoderNotFound = "Message encoder not found: "; // the name
inline constexpr const char* PartsNotSent = "Messages with parts cannot be sent.";

} // namespace IdTexts
