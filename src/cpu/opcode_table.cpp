#include "cpu/opcode_table.hpp"

namespace cosmac {

// D4 and D5 execute as SEP R4 and SEP R5 but read as the usual call and return
// convention; 75 (SDB) shows as "SDC" and the console service 68 as "INVALID".
const std::array<OpInfo, 256> kOpcodeTable = {{
    // 0x
    {"IDLE", 1, 2},     {"LDN 1", 1, 2},    {"LDN 2", 1, 2},    {"LDN 3", 1, 2},
    {"LDN 4", 1, 2},    {"LDN 5", 1, 2},    {"LDN 6", 1, 2},    {"LDN 7", 1, 2},
    {"LDN 8", 1, 2},    {"LDN 9", 1, 2},    {"LDN A", 1, 2},    {"LDN B", 1, 2},
    {"LDN C", 1, 2},    {"LDN D", 1, 2},    {"LDN E", 1, 2},    {"LDN F", 1, 2},
    // 1x
    {"INC R0", 1, 2},   {"INC R1", 1, 2},   {"INC R2", 1, 2},   {"INC R3", 1, 2},
    {"INC R4", 1, 2},   {"INC R5", 1, 2},   {"INC R6", 1, 2},   {"INC R7", 1, 2},
    {"INC R8", 1, 2},   {"INC R9", 1, 2},   {"INC RA", 1, 2},   {"INC RB", 1, 2},
    {"INC RC", 1, 2},   {"INC RD", 1, 2},   {"INC RE", 1, 2},   {"INC RF", 1, 2},
    // 2x
    {"DEC R0", 1, 2},   {"DEC R1", 1, 2},   {"DEC R2", 1, 2},   {"DEC R3", 1, 2},
    {"DEC R4", 1, 2},   {"DEC R5", 1, 2},   {"DEC R6", 1, 2},   {"DEC R7", 1, 2},
    {"DEC R8", 1, 2},   {"DEC R9", 1, 2},   {"DEC RA", 1, 2},   {"DEC RB", 1, 2},
    {"DEC RC", 1, 2},   {"DEC RD", 1, 2},   {"DEC RE", 1, 2},   {"DEC RF", 1, 2},
    // 3x
    {"BR", 2, 2},       {"BQ", 2, 2},       {"BZ", 2, 2},       {"BDF", 2, 2},
    {"B1", 2, 2},       {"B2", 2, 2},       {"B3", 2, 2},       {"B4", 2, 2},
    {"SKP", 1, 2},      {"BNQ", 2, 2},      {"BNZ", 2, 2},      {"BNF", 2, 2},
    {"BN1", 2, 2},      {"BN2", 2, 2},      {"BN3", 2, 2},      {"BN4", 2, 2},
    // 4x
    {"LDA R0", 1, 2},   {"LDA R1", 1, 2},   {"LDA R2", 1, 2},   {"LDA R3", 1, 2},
    {"LDA R4", 1, 2},   {"LDA R5", 1, 2},   {"LDA R6", 1, 2},   {"LDA R7", 1, 2},
    {"LDA R8", 1, 2},   {"LDA R9", 1, 2},   {"LDA RA", 1, 2},   {"LDA RB", 1, 2},
    {"LDA RC", 1, 2},   {"LDA RD", 1, 2},   {"LDA RE", 1, 2},   {"LDA RF", 1, 2},
    // 5x
    {"STR R0", 1, 2},   {"STR R1", 1, 2},   {"STR R2", 1, 2},   {"STR R3", 1, 2},
    {"STR R4", 1, 2},   {"STR R5", 1, 2},   {"STR R6", 1, 2},   {"STR R7", 1, 2},
    {"STR R8", 1, 2},   {"STR R9", 1, 2},   {"STR RA", 1, 2},   {"STR RB", 1, 2},
    {"STR RC", 1, 2},   {"STR RD", 1, 2},   {"STR RE", 1, 2},   {"STR RF", 1, 2},
    // 6x
    {"IRX", 1, 2},      {"OUT 1", 1, 2},    {"OUT 2", 1, 2},    {"OUT 3", 1, 2},
    {"OUT 4", 1, 2},    {"OUT 5", 1, 2},    {"OUT 6", 1, 2},    {"OUT 7", 1, 2},
    {"INVALID", 1, 2},  {"INP 1", 1, 2},    {"INP 2", 1, 2},    {"INP 3", 1, 2},
    {"INP 4", 1, 2},    {"INP 5", 1, 2},    {"INP 6", 1, 2},    {"INP 7", 1, 2},
    // 7x
    {"RET", 1, 2},      {"DIS", 1, 2},      {"LDXA", 1, 2},     {"STXD", 1, 2},
    {"ADC", 1, 2},      {"SDC", 1, 2},      {"SHRC", 1, 2},     {"SMB", 1, 2},
    {"SAV", 1, 2},      {"MARK", 1, 2},     {"REQ", 1, 2},      {"SEQ", 1, 2},
    {"ADCI", 2, 2},     {"SDBI", 2, 2},     {"SHLC", 1, 2},     {"SMBI", 2, 2},
    // 8x
    {"GLO R0", 1, 2},   {"GLO R1", 1, 2},   {"GLO R2", 1, 2},   {"GLO R3", 1, 2},
    {"GLO R4", 1, 2},   {"GLO R5", 1, 2},   {"GLO R6", 1, 2},   {"GLO R7", 1, 2},
    {"GLO R8", 1, 2},   {"GLO R9", 1, 2},   {"GLO RA", 1, 2},   {"GLO RB", 1, 2},
    {"GLO RC", 1, 2},   {"GLO RD", 1, 2},   {"GLO RE", 1, 2},   {"GLO RF", 1, 2},
    // 9x
    {"GHI R0", 1, 2},   {"GHI R1", 1, 2},   {"GHI R2", 1, 2},   {"GHI R3", 1, 2},
    {"GHI R4", 1, 2},   {"GHI R5", 1, 2},   {"GHI R6", 1, 2},   {"GHI R7", 1, 2},
    {"GHI R8", 1, 2},   {"GHI R9", 1, 2},   {"GHI RA", 1, 2},   {"GHI RB", 1, 2},
    {"GHI RC", 1, 2},   {"GHI RD", 1, 2},   {"GHI RE", 1, 2},   {"GHI RF", 1, 2},
    // Ax
    {"PLO R0", 1, 2},   {"PLO R1", 1, 2},   {"PLO R2", 1, 2},   {"PLO R3", 1, 2},
    {"PLO R4", 1, 2},   {"PLO R5", 1, 2},   {"PLO R6", 1, 2},   {"PLO R7", 1, 2},
    {"PLO R8", 1, 2},   {"PLO R9", 1, 2},   {"PLO RA", 1, 2},   {"PLO RB", 1, 2},
    {"PLO RC", 1, 2},   {"PLO RD", 1, 2},   {"PLO RE", 1, 2},   {"PLO RF", 1, 2},
    // Bx
    {"PHI R0", 1, 2},   {"PHI R1", 1, 2},   {"PHI R2", 1, 2},   {"PHI R3", 1, 2},
    {"PHI R4", 1, 2},   {"PHI R5", 1, 2},   {"PHI R6", 1, 2},   {"PHI R7", 1, 2},
    {"PHI R8", 1, 2},   {"PHI R9", 1, 2},   {"PHI RA", 1, 2},   {"PHI RB", 1, 2},
    {"PHI RC", 1, 2},   {"PHI RD", 1, 2},   {"PHI RE", 1, 2},   {"PHI RF", 1, 2},
    // Cx
    {"LBR", 3, 3},      {"LBQ", 3, 3},      {"LBZ", 3, 3},      {"LBDF", 3, 3},
    {"NOP", 1, 3},      {"LSNQ", 1, 3},     {"LSNZ", 1, 3},     {"LSNF", 1, 3},
    {"NLBR", 1, 3},     {"LBNQ", 3, 3},     {"LBNZ", 3, 3},     {"LBNF", 3, 3},
    {"LSIE", 1, 3},     {"LSQ", 1, 3},      {"LSZ", 1, 3},      {"LSDF", 1, 3},
    // Dx
    {"SEP 0", 1, 2},    {"SEP 1", 1, 2},    {"SEP 2", 1, 2},    {"SEP 3", 1, 2},
    {"Call", 3, 2},     {"Ret", 1, 2},      {"SEP 6", 1, 2},    {"SEP 7", 1, 2},
    {"SEP 8", 1, 2},    {"SEP 9", 1, 2},    {"SEP A", 1, 2},    {"SEP B", 1, 2},
    {"SEP C", 1, 2},    {"SEP D", 1, 2},    {"SEP E", 1, 2},    {"SEP F", 1, 2},
    // Ex
    {"SEX 0", 1, 2},    {"SEX 1", 1, 2},    {"SEX 2", 1, 2},    {"SEX 3", 1, 2},
    {"SEX 4", 1, 2},    {"SEX 5", 1, 2},    {"SEX 6", 1, 2},    {"SEX 7", 1, 2},
    {"SEX 8", 1, 2},    {"SEX 9", 1, 2},    {"SEX A", 1, 2},    {"SEX B", 1, 2},
    {"SEX C", 1, 2},    {"SEX D", 1, 2},    {"SEX E", 1, 2},    {"SEX F", 1, 2},
    // Fx
    {"LDX", 1, 2},      {"OR", 1, 2},       {"AND", 1, 2},      {"XOR", 1, 2},
    {"ADD", 1, 2},      {"SD", 1, 2},       {"SHR", 1, 2},      {"SM", 1, 2},
    {"LDI", 2, 2},      {"ORI", 2, 2},      {"ANI", 2, 2},      {"XRI", 2, 2},
    {"ADI", 2, 2},      {"SDI", 2, 2},      {"SHL", 1, 2},      {"SMI", 2, 2},
}};

// The counter and interrupt controls, the register and call instructions, and
// decimal arithmetic on the binary ALU's opcodes (no decimal SD, SDB, SDI or
// SDBI). The decimal instructions take a fourth machine cycle for the decimal
// adjust, and DSAV six for its three stores; an unused second byte takes three,
// as the counter controls do.
const std::array<OpInfo, 256> kExtendedOpcodeTable = {{
    // 68 0x
    {"STPC", 2, 3},     {"DTC", 2, 3},      {"SPM2", 2, 3},     {"SCM2", 2, 3},
    {"SPM1", 2, 3},     {"SCM1", 2, 3},     {"LDC", 2, 3},      {"STM", 2, 3},
    {"GEC", 2, 3},      {"ETQ", 2, 3},      {"XIE", 2, 3},      {"XID", 2, 3},
    {"CIE", 2, 3},      {"CID", 2, 3},      {"INVALID", 2, 3},  {"INVALID", 2, 3},
    // 68 1x
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    // 68 2x
    {"DBNZ R0", 4, 5},  {"DBNZ R1", 4, 5},  {"DBNZ R2", 4, 5},  {"DBNZ R3", 4, 5},
    {"DBNZ R4", 4, 5},  {"DBNZ R5", 4, 5},  {"DBNZ R6", 4, 5},  {"DBNZ R7", 4, 5},
    {"DBNZ R8", 4, 5},  {"DBNZ R9", 4, 5},  {"DBNZ RA", 4, 5},  {"DBNZ RB", 4, 5},
    {"DBNZ RC", 4, 5},  {"DBNZ RD", 4, 5},  {"DBNZ RE", 4, 5},  {"DBNZ RF", 4, 5},
    // 68 3x
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"BCI", 3, 3},      {"BXI", 3, 3},
    // 68 4x
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    // 68 5x
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    // 68 6x
    {"RLXA R0", 2, 5},  {"RLXA R1", 2, 5},  {"RLXA R2", 2, 5},  {"RLXA R3", 2, 5},
    {"RLXA R4", 2, 5},  {"RLXA R5", 2, 5},  {"RLXA R6", 2, 5},  {"RLXA R7", 2, 5},
    {"RLXA R8", 2, 5},  {"RLXA R9", 2, 5},  {"RLXA RA", 2, 5},  {"RLXA RB", 2, 5},
    {"RLXA RC", 2, 5},  {"RLXA RD", 2, 5},  {"RLXA RE", 2, 5},  {"RLXA RF", 2, 5},
    // 68 7x
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"DADC", 2, 4},     {"INVALID", 2, 3},  {"DSAV", 2, 6},     {"DSMB", 2, 4},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"DACI", 3, 4},     {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"DSBI", 3, 4},
    // 68 8x
    {"SCAL R0", 4, 10}, {"SCAL R1", 4, 10}, {"SCAL R2", 4, 10}, {"SCAL R3", 4, 10},
    {"SCAL R4", 4, 10}, {"SCAL R5", 4, 10}, {"SCAL R6", 4, 10}, {"SCAL R7", 4, 10},
    {"SCAL R8", 4, 10}, {"SCAL R9", 4, 10}, {"SCAL RA", 4, 10}, {"SCAL RB", 4, 10},
    {"SCAL RC", 4, 10}, {"SCAL RD", 4, 10}, {"SCAL RE", 4, 10}, {"SCAL RF", 4, 10},
    // 68 9x
    {"SRET R0", 2, 8},  {"SRET R1", 2, 8},  {"SRET R2", 2, 8},  {"SRET R3", 2, 8},
    {"SRET R4", 2, 8},  {"SRET R5", 2, 8},  {"SRET R6", 2, 8},  {"SRET R7", 2, 8},
    {"SRET R8", 2, 8},  {"SRET R9", 2, 8},  {"SRET RA", 2, 8},  {"SRET RB", 2, 8},
    {"SRET RC", 2, 8},  {"SRET RD", 2, 8},  {"SRET RE", 2, 8},  {"SRET RF", 2, 8},
    // 68 Ax
    {"RSXD R0", 2, 5},  {"RSXD R1", 2, 5},  {"RSXD R2", 2, 5},  {"RSXD R3", 2, 5},
    {"RSXD R4", 2, 5},  {"RSXD R5", 2, 5},  {"RSXD R6", 2, 5},  {"RSXD R7", 2, 5},
    {"RSXD R8", 2, 5},  {"RSXD R9", 2, 5},  {"RSXD RA", 2, 5},  {"RSXD RB", 2, 5},
    {"RSXD RC", 2, 5},  {"RSXD RD", 2, 5},  {"RSXD RE", 2, 5},  {"RSXD RF", 2, 5},
    // 68 Bx
    {"RNX R0", 2, 4},   {"RNX R1", 2, 4},   {"RNX R2", 2, 4},   {"RNX R3", 2, 4},
    {"RNX R4", 2, 4},   {"RNX R5", 2, 4},   {"RNX R6", 2, 4},   {"RNX R7", 2, 4},
    {"RNX R8", 2, 4},   {"RNX R9", 2, 4},   {"RNX RA", 2, 4},   {"RNX RB", 2, 4},
    {"RNX RC", 2, 4},   {"RNX RD", 2, 4},   {"RNX RE", 2, 4},   {"RNX RF", 2, 4},
    // 68 Cx
    {"RLDI R0", 4, 5},  {"RLDI R1", 4, 5},  {"RLDI R2", 4, 5},  {"RLDI R3", 4, 5},
    {"RLDI R4", 4, 5},  {"RLDI R5", 4, 5},  {"RLDI R6", 4, 5},  {"RLDI R7", 4, 5},
    {"RLDI R8", 4, 5},  {"RLDI R9", 4, 5},  {"RLDI RA", 4, 5},  {"RLDI RB", 4, 5},
    {"RLDI RC", 4, 5},  {"RLDI RD", 4, 5},  {"RLDI RE", 4, 5},  {"RLDI RF", 4, 5},
    // 68 Dx
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    // 68 Ex
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    // 68 Fx
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"DADD", 2, 4},     {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"DSM", 2, 4},
    {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"INVALID", 2, 3},
    {"DADI", 3, 4},     {"INVALID", 2, 3},  {"INVALID", 2, 3},  {"DSMI", 3, 4},
}};

}  // namespace cosmac
