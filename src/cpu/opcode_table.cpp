#include "cpu/opcode_table.hpp"

namespace cosmac {

// D4 and D5 execute as SEP R4 and SEP R5 but read as the usual call and return
// convention; 75 (SDB) shows as "SDC" and the console service 68 as "INVALID".
const std::array<OpInfo, 256> kOpcodeTable = {{
    // 0x
    {"IDLE", 1},     {"LDN 1", 1},    {"LDN 2", 1},    {"LDN 3", 1},
    {"LDN 4", 1},    {"LDN 5", 1},    {"LDN 6", 1},    {"LDN 7", 1},
    {"LDN 8", 1},    {"LDN 9", 1},    {"LDN A", 1},    {"LDN B", 1},
    {"LDN C", 1},    {"LDN D", 1},    {"LDN E", 1},    {"LDN F", 1},
    // 1x
    {"INC R0", 1},   {"INC R1", 1},   {"INC R2", 1},   {"INC R3", 1},
    {"INC R4", 1},   {"INC R5", 1},   {"INC R6", 1},   {"INC R7", 1},
    {"INC R8", 1},   {"INC R9", 1},   {"INC RA", 1},   {"INC RB", 1},
    {"INC RC", 1},   {"INC RD", 1},   {"INC RE", 1},   {"INC RF", 1},
    // 2x
    {"DEC R0", 1},   {"DEC R1", 1},   {"DEC R2", 1},   {"DEC R3", 1},
    {"DEC R4", 1},   {"DEC R5", 1},   {"DEC R6", 1},   {"DEC R7", 1},
    {"DEC R8", 1},   {"DEC R9", 1},   {"DEC RA", 1},   {"DEC RB", 1},
    {"DEC RC", 1},   {"DEC RD", 1},   {"DEC RE", 1},   {"DEC RF", 1},
    // 3x
    {"BR", 2},       {"BQ", 2},       {"BZ", 2},       {"BDF", 2},
    {"B1", 2},       {"B2", 2},       {"B3", 2},       {"B4", 2},
    {"SKP", 1},      {"BNQ", 2},      {"BNZ", 2},      {"BNF", 2},
    {"BN1", 2},      {"BN2", 2},      {"BN3", 2},      {"BN4", 2},
    // 4x
    {"LDA R0", 1},   {"LDA R1", 1},   {"LDA R2", 1},   {"LDA R3", 1},
    {"LDA R4", 1},   {"LDA R5", 1},   {"LDA R6", 1},   {"LDA R7", 1},
    {"LDA R8", 1},   {"LDA R9", 1},   {"LDA RA", 1},   {"LDA RB", 1},
    {"LDA RC", 1},   {"LDA RD", 1},   {"LDA RE", 1},   {"LDA RF", 1},
    // 5x
    {"STR R0", 1},   {"STR R1", 1},   {"STR R2", 1},   {"STR R3", 1},
    {"STR R4", 1},   {"STR R5", 1},   {"STR R6", 1},   {"STR R7", 1},
    {"STR R8", 1},   {"STR R9", 1},   {"STR RA", 1},   {"STR RB", 1},
    {"STR RC", 1},   {"STR RD", 1},   {"STR RE", 1},   {"STR RF", 1},
    // 6x
    {"IRX", 1},      {"OUT 1", 1},    {"OUT 2", 1},    {"OUT 3", 1},
    {"OUT 4", 1},    {"OUT 5", 1},    {"OUT 6", 1},    {"OUT 7", 1},
    {"INVALID", 1},  {"INP 1", 1},    {"INP 2", 1},    {"INP 3", 1},
    {"INP 4", 1},    {"INP 5", 1},    {"INP 6", 1},    {"INP 7", 1},
    // 7x
    {"RET", 1},      {"DIS", 1},      {"LDXA", 1},     {"STXD", 1},
    {"ADC", 1},      {"SDC", 1},      {"SHRC", 1},     {"SMB", 1},
    {"SAV", 1},      {"MARK", 1},     {"REQ", 1},      {"SEQ", 1},
    {"ADCI", 2},     {"SDBI", 2},     {"SHLC", 1},     {"SMBI", 2},
    // 8x
    {"GLO R0", 1},   {"GLO R1", 1},   {"GLO R2", 1},   {"GLO R3", 1},
    {"GLO R4", 1},   {"GLO R5", 1},   {"GLO R6", 1},   {"GLO R7", 1},
    {"GLO R8", 1},   {"GLO R9", 1},   {"GLO RA", 1},   {"GLO RB", 1},
    {"GLO RC", 1},   {"GLO RD", 1},   {"GLO RE", 1},   {"GLO RF", 1},
    // 9x
    {"GHI R0", 1},   {"GHI R1", 1},   {"GHI R2", 1},   {"GHI R3", 1},
    {"GHI R4", 1},   {"GHI R5", 1},   {"GHI R6", 1},   {"GHI R7", 1},
    {"GHI R8", 1},   {"GHI R9", 1},   {"GHI RA", 1},   {"GHI RB", 1},
    {"GHI RC", 1},   {"GHI RD", 1},   {"GHI RE", 1},   {"GHI RF", 1},
    // Ax
    {"PLO R0", 1},   {"PLO R1", 1},   {"PLO R2", 1},   {"PLO R3", 1},
    {"PLO R4", 1},   {"PLO R5", 1},   {"PLO R6", 1},   {"PLO R7", 1},
    {"PLO R8", 1},   {"PLO R9", 1},   {"PLO RA", 1},   {"PLO RB", 1},
    {"PLO RC", 1},   {"PLO RD", 1},   {"PLO RE", 1},   {"PLO RF", 1},
    // Bx
    {"PHI R0", 1},   {"PHI R1", 1},   {"PHI R2", 1},   {"PHI R3", 1},
    {"PHI R4", 1},   {"PHI R5", 1},   {"PHI R6", 1},   {"PHI R7", 1},
    {"PHI R8", 1},   {"PHI R9", 1},   {"PHI RA", 1},   {"PHI RB", 1},
    {"PHI RC", 1},   {"PHI RD", 1},   {"PHI RE", 1},   {"PHI RF", 1},
    // Cx
    {"LBR", 3},      {"LBQ", 3},      {"LBZ", 3},      {"LBDF", 3},
    {"NOP", 1},      {"LSNQ", 1},     {"LSNZ", 1},     {"LSNF", 1},
    {"NLBR", 1},     {"LBNQ", 3},     {"LBNZ", 3},     {"LBNF", 3},
    {"LSIE", 1},     {"LSQ", 1},      {"LSZ", 1},      {"LSDF", 1},
    // Dx
    {"SEP 0", 1},    {"SEP 1", 1},    {"SEP 2", 1},    {"SEP 3", 1},
    {"Call", 3},     {"Ret", 1},      {"SEP 6", 1},    {"SEP 7", 1},
    {"SEP 8", 1},    {"SEP 9", 1},    {"SEP A", 1},    {"SEP B", 1},
    {"SEP C", 1},    {"SEP D", 1},    {"SEP E", 1},    {"SEP F", 1},
    // Ex
    {"SEX 0", 1},    {"SEX 1", 1},    {"SEX 2", 1},    {"SEX 3", 1},
    {"SEX 4", 1},    {"SEX 5", 1},    {"SEX 6", 1},    {"SEX 7", 1},
    {"SEX 8", 1},    {"SEX 9", 1},    {"SEX A", 1},    {"SEX B", 1},
    {"SEX C", 1},    {"SEX D", 1},    {"SEX E", 1},    {"SEX F", 1},
    // Fx
    {"LDX", 1},      {"OR", 1},       {"AND", 1},      {"XOR", 1},
    {"ADD", 1},      {"SD", 1},       {"SHR", 1},      {"SM", 1},
    {"LDI", 2},      {"ORI", 2},      {"ANI", 2},      {"XRI", 2},
    {"ADI", 2},      {"SDI", 2},      {"SHL", 1},      {"SMI", 2},
}};

}  // namespace cosmac
