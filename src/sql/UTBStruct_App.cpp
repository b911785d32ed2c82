#include "sql/UTBStruct_App.h"

#include "sql/UXDBDataBaseStructure.h"

namespace {

// Tables in creation order: every foreign key refers to a table above it.
constexpr std::string_view kScript = R"SQL(
CREATE TABLE UF (
       ID      NUMBER(9)    NOT NULL,
       CODIGO  VARCHAR2(2)  NULL,
       NOME    VARCHAR2(30) NOT NULL,
       CONSTRAINT XPKUF PRIMARY KEY (ID)
);

CREATE TABLE PAIS (
       ID    NUMBER(9)    NOT NULL,
       NOME  VARCHAR2(50) NULL,
       CONSTRAINT XPKPAIS PRIMARY KEY (ID)
);

CREATE TABLE MUNICIPIO (
       ID       NUMBER(9)    NOT NULL,
       NOME     VARCHAR2(60) NULL,
       ID_PAIS  NUMBER(9)    NULL,
       ID_UF    NUMBER(9)    NULL,
       CONSTRAINT XPKMUNICIPIO PRIMARY KEY (ID),
       CONSTRAINT R_UF_MUNICIPIO
              FOREIGN KEY (ID_UF)
                             REFERENCES UF,
       CONSTRAINT R_PAIS_MUNICIPIO
              FOREIGN KEY (ID_PAIS)
                             REFERENCES PAIS
);

CREATE TABLE CODLOCAL (
       ID            NUMBER(9)    NOT NULL,
       CODIGO        VARCHAR2(20) NULL,
       NOME          VARCHAR2(40) NULL,
       REGIAO        VARCHAR2(30) NULL,
       ENDERECO      VARCHAR2(60) NULL,
       ALTITUDE      NUMBER(4)    NULL,
       LATITUDE      VARCHAR2(15) NULL,
       LONGITUDE     VARCHAR2(15) NULL,
       ID_MUNICIPIO  NUMBER(9)    NULL,
       CONSTRAINT XPKCODLOCAL PRIMARY KEY (ID),
       CONSTRAINT R_MUNICIPIO_CODLOCAL
              FOREIGN KEY (ID_MUNICIPIO)
                             REFERENCES MUNICIPIO
);

CREATE UNIQUE INDEX XAK_CODLOCAL_UNIQUE_01 ON CODLOCAL
(
       CODIGO ASC
);

CREATE TABLE TIPO_AMOSTRA (
       ID    NUMBER(9)    NOT NULL,
       NOME  VARCHAR2(30) NULL,
       CONSTRAINT XPKTIPO_AMOSTRA PRIMARY KEY (ID)
);

CREATE TABLE TIPO_TESTE (
       ID    NUMBER(9)    NOT NULL,
       NOME  VARCHAR2(30) NULL,
       CONSTRAINT XPKTIPO_TESTE PRIMARY KEY (ID)
);

CREATE TABLE FINALIDADE (
       ID    NUMBER(9)    NOT NULL,
       NOME  VARCHAR2(30) NULL,
       CONSTRAINT XPKFINALIDADE PRIMARY KEY (ID)
);

CREATE TABLE pessoa (
       id             NUMBER(9)    NOT NULL,
       nome           VARCHAR2(60) NULL,
       usuario        CHAR(1)      NULL,
       usuario_genot  CHAR(1)      NULL,
       CONSTRAINT XPKPESSOA PRIMARY KEY (id)
);

CREATE TABLE cultura (
       id    NUMBER(9)    NOT NULL,
       nome  VARCHAR2(20) NOT NULL,
       CONSTRAINT XPKCULTURA PRIMARY KEY (id)
);

CREATE TABLE GABARITO (
       ID             NUMBER(9)    NOT NULL,
       NOME           VARCHAR2(30) NULL,
       NLINHA         NUMBER(3)    NULL,
       ID_CULTURA     NUMBER(9)    NULL,
       QTE_PLACA      NUMBER(9)    NULL,
       POCO_UTIL      NUMBER(3)    NULL,
       NCOLUNA        NUMBER(3)    NULL,
       POCO_CONTROLE  NUMBER(3)    NULL,
       CONSTRAINT XPKGABARITO PRIMARY KEY (ID),
       CONSTRAINT R_CULTURA_GABARITO
              FOREIGN KEY (ID_CULTURA)
                             REFERENCES cultura
);

CREATE TABLE convenio (
       id    NUMBER(5)    NOT NULL,
       nome  VARCHAR2(60) NULL,
       CONSTRAINT XPKCONVENIO PRIMARY KEY (id)
);

CREATE TABLE SAFRA (
       ID          NUMBER(9)    NOT NULL,
       CODIGO      VARCHAR2(10) NULL,
       aberta      VARCHAR2(1)  NULL,
       ID_CULTURA  NUMBER(9)    NULL,
       CONSTRAINT XPKSAFRA PRIMARY KEY (ID),
       CONSTRAINT R_CULTURA_SAFRA
              FOREIGN KEY (ID_CULTURA)
                             REFERENCES cultura
);

CREATE TABLE GENOTIPAGEM (
       id                       NUMBER(9)    NOT NULL,
       PROJETO_CODIGO           VARCHAR2(20) NULL,
       SEQUENCIA_INICIAL        NUMBER(9)    NULL,
       TIPO_COLETA              VARCHAR2(1)  NULL,
       LOG_DATA                 VARCHAR2(20) NULL,
       TOTAL_PLACA              NUMBER(9)    NULL,
       ID_SAFRA                 NUMBER(9)    NULL,
       ID_CULTURA               NUMBER(9)    NULL,
       ID_CONVENIO              NUMBER(5)    NULL,
       ID_GABARITO              NUMBER(9)    NULL,
       ID_FINALIDADE            NUMBER(9)    NULL,
       ID_TIPO_TESTE            NUMBER(9)    NULL,
       ID_TIPO_AMOSTRA          NUMBER(9)    NULL,
       DATA_ENVIO               DATE         NULL,
       LOG_PESSOA               NUMBER(9)    NULL,
       DATA_RESULTADO           DATE         NULL,
       PESQUISADOR_RESPONSAVEL  VARCHAR2(50) NULL,
       ID_CODLOCAL              NUMBER(9)    NULL,
       STATUS                   NUMBER(2)    NULL,
       DIGITO_PLACA             NUMBER(2)    NULL,
       OBS                      BLOB         NULL,
       TIPO_AMOSTRA             NUMBER(2)    NULL,
       STATUS_PROD              NUMBER(2)    NULL,
       STATUS_MERGE             NUMBER(2)    NULL,
       RESPONSAVEL_COLETA       VARCHAR2(50) NULL,
       CONSTRAINT XPKGENOTIPAGEM PRIMARY KEY (id),
       CONSTRAINT R_CODLOCAL_GENOTIPAGEM
              FOREIGN KEY (ID_CODLOCAL)
                             REFERENCES CODLOCAL,
       CONSTRAINT R_TIPO_AMOSTRA_GENOTIPAGEM
              FOREIGN KEY (ID_TIPO_AMOSTRA)
                             REFERENCES TIPO_AMOSTRA,
       CONSTRAINT R_TIPO_TESTE_GENOTIPAGEM
              FOREIGN KEY (ID_TIPO_TESTE)
                             REFERENCES TIPO_TESTE,
       CONSTRAINT R_FINALIDADE_GENOTIPAGEM
              FOREIGN KEY (ID_FINALIDADE)
                             REFERENCES FINALIDADE,
       CONSTRAINT R_LOGPESSOA_GENOTIPAGEM
              FOREIGN KEY (LOG_PESSOA)
                             REFERENCES pessoa,
       CONSTRAINT R_GABARITO_GENOTIPAGEM
              FOREIGN KEY (ID_GABARITO)
                             REFERENCES GABARITO,
       CONSTRAINT R_CONVENIO_GENOTIPAGEM
              FOREIGN KEY (ID_CONVENIO)
                             REFERENCES convenio,
       CONSTRAINT R_CULTURA_GENOTIPAGEM
              FOREIGN KEY (ID_CULTURA)
                             REFERENCES cultura,
       CONSTRAINT R_SAFRA_GENOTIPAGEM
              FOREIGN KEY (ID_SAFRA)
                             REFERENCES SAFRA
);

CREATE TABLE API_MODELO (
       ID    NUMBER(9)    NOT NULL,
       NOME  VARCHAR2(20) NULL,
       CONSTRAINT XPKAPI_MODELO PRIMARY KEY (ID)
);

CREATE TABLE API_SERVERS (
       ID             NUMBER(9)    NOT NULL,
       NOME           VARCHAR2(30) NULL,
       ENDERECO       VARCHAR2(200) NULL,
       ID_API_MODELO  NUMBER(9)    NULL,
       STATUS         NUMBER(2)    NULL,
       USUARIO        VARCHAR2(50) NULL,
       SENHA          VARCHAR2(200) NULL,
       PREFIX_TOKEN   VARCHAR2(200) NULL,
       SUFIX_TOKEN    VARCHAR2(200) NULL,
       CONSTRAINT XPKAPI_SERVERS PRIMARY KEY (ID),
       CONSTRAINT R_API_SERVERS_API_MODELO
              FOREIGN KEY (ID_API_MODELO)
                             REFERENCES API_MODELO
);

CREATE TABLE usuario (
       usersafra     NUMBER(9)    NULL,
       usercultura   NUMBER(9)    NULL,
       userconvenio  NUMBER(5)    NULL,
       id            NUMBER(9)    NOT NULL,
       codigo        VARCHAR2(15) NOT NULL,
       senha         VARCHAR2(34) NULL,
       favoritos     BLOB         NULL,
       dados         BLOB         NULL,
       CONSTRAINT XPKUSUARIO PRIMARY KEY (id),
       CONSTRAINT R_CONVENIO_USUARIO
              FOREIGN KEY (userconvenio)
                             REFERENCES convenio,
       CONSTRAINT R_CULTURA_USUARIO
              FOREIGN KEY (usercultura)
                             REFERENCES cultura,
       CONSTRAINT R_SAFRA_USUARIO
              FOREIGN KEY (usersafra)
                             REFERENCES SAFRA,
       CONSTRAINT R_PESSOA_USUARIO
              FOREIGN KEY (id)
                             REFERENCES pessoa
);

CREATE UNIQUE INDEX XAK1USUARIO ON usuario
(
       codigo ASC
);

CREATE TABLE LOG_API_JSON (
       ID_PESSOA       NUMBER(9)    NULL,
       DINC            VARCHAR2(20) NULL,
       ID_API_SERVERS  NUMBER(9)    NULL,
       ID_GENOTIPAGEM  NUMBER(9)    NULL,
       JSON_ENVIO      BLOB         NULL,
       ID              NUMBER(9)    NOT NULL,
       FULLPATH        VARCHAR2(255) NULL,
       OPERATION       NUMBER(2)    NULL,
       JSON_RETORNO    BLOB         NULL,
       CONSTRAINT XPKLOG_API_JSON PRIMARY KEY (ID),
       CONSTRAINT R_GENOTIPAGEM_LOG_API_JSON
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM,
       CONSTRAINT R_API_SERVERS_LOG_API_JSON
              FOREIGN KEY (ID_API_SERVERS)
                             REFERENCES API_SERVERS,
       CONSTRAINT R_LOG_APIJSON_USUARIO
              FOREIGN KEY (ID_PESSOA)
                             REFERENCES usuario
);

CREATE TABLE LOTE_LAB (
       ID_GENOTIPAGEM    NUMBER(9)    NOT NULL,
       ID_LOTE_LAB       NUMBER(9)    NOT NULL,
       NOME              VARCHAR2(20) NULL,
       DT_ENVIO          DATE         NULL,
       STATUS            NUMBER(2)    NULL,
       ID_USUARIO_ENVIO  NUMBER(9)    NULL,
       CONSTRAINT XPKLOTE_LAB PRIMARY KEY (ID_GENOTIPAGEM, ID_LOTE_LAB),
       CONSTRAINT R_PESSOA_USUARIO_RESP
              FOREIGN KEY (ID_USUARIO_ENVIO)
                             REFERENCES pessoa,
       CONSTRAINT R_USUARIO_LOTE_LAB_RESP_ENV
              FOREIGN KEY (ID_USUARIO_ENVIO)
                             REFERENCES usuario,
       CONSTRAINT R_GENOTIPAGEM_LOTE_LAB
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE UNIQUE INDEX AK_ID_LOTE_LAB ON LOTE_LAB
(
       ID_LOTE_LAB ASC
);

CREATE TABLE GENOTIP_PLACA (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       ID_PLACA        NUMBER(9)    NOT NULL,
       STATUS          NUMBER(2)    NULL,
       ID_LOTE_LAB     NUMBER(9)    NULL,
       NOME            VARCHAR2(30) NULL,
       CONSTRAINT XPKGENOTIP_PLACA PRIMARY KEY (ID_GENOTIPAGEM, ID_PLACA),
       CONSTRAINT R_GENOTIP_LOTE_LAB_PLACA
              FOREIGN KEY (ID_GENOTIPAGEM, ID_LOTE_LAB)
                             REFERENCES LOTE_LAB,
       CONSTRAINT R_GENOTIPAGEM_GENOTIP_PLACA
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE TABLE GENOTIP_PLACA_CHIPPER (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       ID_PLACA        NUMBER(9)    NOT NULL,
       PLACA_SMT       VARCHAR2(30) NULL,
       CONSTRAINT XPKGENOTIP_PLACA_CHIPPER PRIMARY KEY (ID_GENOTIPAGEM, ID_PLACA),
       CONSTRAINT R_GENOT_PLACA_X_GP_CHIPPER
              FOREIGN KEY (ID_GENOTIPAGEM, ID_PLACA)
                             REFERENCES GENOTIP_PLACA
);

CREATE TABLE TRATAMENTO_CHIPPER (
       NCC             NUMBER(18)   NOT NULL,
       ORDEM_COLETA    NUMBER(6)    NULL,
       NC              NUMBER(12)   NOT NULL,
       REP             NUMBER(5)    NULL,
       LINHAGEM        VARCHAR2(50) NULL,
       GENEALOGIA      VARCHAR2(200) NULL,
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       CONSTRAINT XPKTRATAMENTO_CHIPPER PRIMARY KEY (ID_GENOTIPAGEM, NCC),
       CONSTRAINT R_GENOTIPAGEM_TRAT_CHIPPER
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE TABLE item (
       id             NUMBER(9)    NOT NULL,
       RESULTADO_LAB  VARCHAR2(15) NULL,
       nome           VARCHAR2(35) NULL,
       RESULTADO      VARCHAR2(15) NULL,
       CONSTRAINT XPKITEM PRIMARY KEY (id)
);

CREATE TABLE grupolista (
       id    NUMBER(9)    NOT NULL,
       nome  VARCHAR2(60) NULL,
       CONSTRAINT XPKGRUPOLISTA PRIMARY KEY (id)
);

CREATE TABLE lista (
       id             NUMBER(9)    NOT NULL,
       id_grupolista  NUMBER(9)    NULL,
       nome           VARCHAR2(60) NULL,
       CONSTRAINT XPKLISTA PRIMARY KEY (id),
       CONSTRAINT R_GRUPOLISTA_LISTA
              FOREIGN KEY (id_grupolista)
                             REFERENCES grupolista
);

CREATE TABLE GENE (
       ID          NUMBER(9)    NOT NULL,
       CODIGO_LAB  VARCHAR2(10) NULL,
       id_cultura  NUMBER(9)    NULL,
       NOME        VARCHAR2(30) NULL,
       id_lista    NUMBER(9)    NULL,
       CONSTRAINT XPKGENE PRIMARY KEY (ID),
       CONSTRAINT R_CULTURA_GENE
              FOREIGN KEY (id_cultura)
                             REFERENCES cultura,
       CONSTRAINT R_LISTA_GENE
              FOREIGN KEY (id_lista)
                             REFERENCES lista
);

CREATE TABLE CONTROLE (
       ID          NUMBER(9)    NOT NULL,
       NOME        VARCHAR2(30) NULL,
       ID_CULTURA  NUMBER(9)    NULL,
       CONSTRAINT XPKCONTROLE PRIMARY KEY (ID),
       CONSTRAINT R_CULTURA_CONTROLE
              FOREIGN KEY (ID_CULTURA)
                             REFERENCES cultura
);

CREATE TABLE CONTROLE_GENE (
       ID_CONTROLE    NUMBER(9)    NOT NULL,
       ID_OGM         NUMBER(9)    NOT NULL,
       ID_ITEM_LISTA  NUMBER(9)    NULL,
       CONSTRAINT XPKCONTROLE_GENE PRIMARY KEY (ID_CONTROLE, ID_OGM),
       CONSTRAINT R_CONTROLE_GENE_ITEM
              FOREIGN KEY (ID_ITEM_LISTA)
                             REFERENCES item,
       CONSTRAINT R_CONTROLE_GENE_GENE
              FOREIGN KEY (ID_OGM)
                             REFERENCES GENE,
       CONSTRAINT R_CONTROLE_CONTROLE_GENE
              FOREIGN KEY (ID_CONTROLE)
                             REFERENCES CONTROLE
);

CREATE TABLE GENOTIPAGEM_CONTROLE (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       POCO            VARCHAR2(10) NOT NULL,
       ID_CONTROLE     NUMBER(9)    NULL,
       NOME_LIVRE      VARCHAR2(30) NULL,
       CONSTRAINT XPKGENOTIPAGEM_CONTROLE PRIMARY KEY (ID_GENOTIPAGEM, POCO),
       CONSTRAINT R_GENOTIPAGEM_CONTROLE_CONTROL
              FOREIGN KEY (ID_CONTROLE)
                             REFERENCES CONTROLE,
       CONSTRAINT R_GENOTIP_GENOTIPAGEM_CONTROLE
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE TABLE GENOTIP_PLACA_POCO_EXC (
       ID_GENOTIPAGEM     NUMBER(9)    NOT NULL,
       ID_PLACA           NUMBER(9)    NOT NULL,
       PLACA              NUMBER(3)    NOT NULL,
       POCO               VARCHAR2(5)  NOT NULL,
       STATUS_POCO        NUMBER(2)    NOT NULL,
       ID_LOTE            NUMBER(9)    NOT NULL,
       ID_SLOTE           NUMBER(9)    NOT NULL,
       NCC                NUMBER(18)   NULL,
       ORIGEM_PLANTIO     VARCHAR2(40) NULL,
       DATA_COLETA        VARCHAR2(20) NOT NULL,
       ORIGEM_COLETA_EXC  VARCHAR2(40) NOT NULL,
       USER_COLETA_EXC    NUMBER(9)    NULL,
       USER_COLETA        NUMBER(9)    NULL,
       DATA_COLETA_EXC    VARCHAR2(20) NOT NULL,
       CONSTRAINT XPKGENOTIP_PLACA_POCO_EXC PRIMARY KEY (ID_GENOTIPAGEM, DATA_COLETA, ORIGEM_COLETA_EXC)
);

CREATE TABLE PLANTIO_EXC (
       ID_GENOTIPAGEM      NUMBER(9)    NOT NULL,
       ID_LOTE             NUMBER(9)    NOT NULL,
       ID_SLOTE            NUMBER(9)    NOT NULL,
       NCC                 NUMBER(18)   NOT NULL,
       ORIGEM_PLANTIO_EXC  VARCHAR2(40) NOT NULL,
       NC_PLANTIO          NUMBER(18)   NULL,
       DATA_PLANTIO        VARCHAR2(20) NOT NULL,
       DATA_PLANTIO_EXC    VARCHAR2(20) NOT NULL,
       USER_PLANTIO        NUMBER(9)    NULL,
       USER_PLANTIO_EXC    NUMBER(9)    NOT NULL,
       CONSTRAINT XPKPLANTIO_EXC PRIMARY KEY (ID_GENOTIPAGEM, DATA_PLANTIO, ORIGEM_PLANTIO_EXC)
);

CREATE TABLE TRATAMENTO (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       NCC             NUMBER(18)   NOT NULL,
       NC              NUMBER(12)   NOT NULL,
       REP             NUMBER(5)    NULL,
       ORDEM_COLETA    NUMBER(6)    NULL,
       LINHAGEM        VARCHAR2(50) NULL,
       GENEALOGIA      VARCHAR2(200) NULL,
       CONSTRAINT XPKTRATAMENTO PRIMARY KEY (ID_GENOTIPAGEM, NCC),
       CONSTRAINT R_GENOTIPAGEM_TRATAMENTO
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE TABLE GENOTIPAGEMGENE (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       ID_GENE         NUMBER(9)    NOT NULL,
       CONSTRAINT XPKGENOTIPAGEMGENE PRIMARY KEY (ID_GENOTIPAGEM, ID_GENE),
       CONSTRAINT R_GENE_GENOTIPAGEMGENE
              FOREIGN KEY (ID_GENE)
                             REFERENCES GENE,
       CONSTRAINT R_GENOTIPAGEM_GENOTIPAGEMGENE
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE TABLE direito (
       codigo          VARCHAR2(3)  NOT NULL,
       nome            VARCHAR2(20) NULL,
       tipo            CHAR(1)      NULL,
       direitosistema  CHAR(1)      NULL,
       obs             BLOB         NULL,
       CONSTRAINT XPKDIREITO PRIMARY KEY (codigo)
);

CREATE TABLE grusuario (
       id    NUMBER(9)    NOT NULL,
       nome  VARCHAR2(30) NULL,
       CONSTRAINT XPKGRUSUARIO PRIMARY KEY (id)
);

CREATE TABLE grusuariodireito (
       opcao         VARCHAR2(30) NOT NULL,
       direitos      BLOB         NULL,
       id_grusuario  NUMBER(9)    NOT NULL,
       CONSTRAINT XPKGRUSUARIODIREITO PRIMARY KEY (id_grusuario, opcao),
       CONSTRAINT R_GRUSUARIO_GRUSUARIODIREITO
              FOREIGN KEY (id_grusuario)
                             REFERENCES grusuario
);

CREATE TABLE usuariogrusuario (
       id_usuario    NUMBER(9)    NOT NULL,
       id_grusuario  NUMBER(9)    NOT NULL,
       CONSTRAINT XPKUSUARIOGRUSUARIO PRIMARY KEY (id_grusuario, id_usuario),
       CONSTRAINT R_USUARIO_USUARIOGRUSUARIO
              FOREIGN KEY (id_usuario)
                             REFERENCES usuario,
       CONSTRAINT R_GRUSUARIO_USUARIOGRUSUARIO
              FOREIGN KEY (id_grusuario)
                             REFERENCES grusuario
);

CREATE TABLE listaitem (
       id_lista  NUMBER(9)    NOT NULL,
       id_item   NUMBER(9)    NOT NULL,
       CONSTRAINT XPKLISTAITEM PRIMARY KEY (id_lista, id_item),
       CONSTRAINT R_ITEM_LISTAITEM
              FOREIGN KEY (id_item)
                             REFERENCES item,
       CONSTRAINT R_LISTA_LISTAITEM
              FOREIGN KEY (id_lista)
                             REFERENCES lista
);

CREATE TABLE conveniocultura (
       id_convenio  NUMBER(5)    NOT NULL,
       id_cultura   NUMBER(9)    NOT NULL,
       CONSTRAINT XPKCONVENIOCULTURA PRIMARY KEY (id_convenio, id_cultura),
       CONSTRAINT R_CULTURA_CONVENIOCULTURA
              FOREIGN KEY (id_cultura)
                             REFERENCES cultura,
       CONSTRAINT R_CONVENIO_CONVCULTURA
              FOREIGN KEY (id_convenio)
                             REFERENCES convenio
);

CREATE TABLE convenioculturausuario (
       id_convenio  NUMBER(5)    NOT NULL,
       id_pessoa    NUMBER(9)    NOT NULL,
       id_cultura   NUMBER(9)    NOT NULL,
       CONSTRAINT XPKCONVENIOCULTURAUSUARIO PRIMARY KEY (id_convenio, id_cultura, id_pessoa),
       CONSTRAINT R_USUARIO_CONVCULTUSUARIO
              FOREIGN KEY (id_pessoa)
                             REFERENCES usuario,
       CONSTRAINT R_CONVCULTURA_CONVCULTUSUA
              FOREIGN KEY (id_convenio, id_cultura)
                             REFERENCES conveniocultura
);

CREATE TABLE usuariocultura (
       id_cultura  NUMBER(9)    NOT NULL,
       id_usuario  NUMBER(9)    NOT NULL,
       CONSTRAINT XPKUSUARIOCULTURA PRIMARY KEY (id_cultura, id_usuario),
       CONSTRAINT R_USUARIO_USUARIOCULTURA
              FOREIGN KEY (id_usuario)
                             REFERENCES usuario,
       CONSTRAINT R_CULTURA_USUARIOCULTURA
              FOREIGN KEY (id_cultura)
                             REFERENCES cultura
);

CREATE TABLE GABARITO_ITEM (
       ID_GABARITO    NUMBER(9)    NOT NULL,
       PLACA          NUMBER(3)    NOT NULL,
       SEQ_COLETA     NUMBER(3)    NOT NULL,
       LINHA          NUMBER(3)    NULL,
       COLUNA         NUMBER(3)    NULL,
       POCO           VARCHAR2(10) NOT NULL,
       AMOSTRA        CHAR(1)      NULL,
       INFO_CONTROLE  VARCHAR2(5)  NULL,
       CONSTRAINT XPKGABARITO_ITEM PRIMARY KEY (ID_GABARITO, PLACA, POCO),
       CONSTRAINT R_GABARITO_GABARITOITEM
              FOREIGN KEY (ID_GABARITO)
                             REFERENCES GABARITO
);

CREATE TABLE GABARITO_MDB (
       ID_GABARITO   NUMBER(9)    NOT NULL,
       ARQUIVO_MDB   BLOB         NULL,
       NOME_ARQUIVO  VARCHAR2(100) NULL,
       LOG_PESSOA    NUMBER(9)    NULL,
       LOG_DATA      VARCHAR2(20) NULL,
       CONSTRAINT XPKGABARITO_MDB PRIMARY KEY (ID_GABARITO),
       CONSTRAINT R_LOGPESSOA_GABARITOXLS
              FOREIGN KEY (LOG_PESSOA)
                             REFERENCES pessoa,
       CONSTRAINT R_GABARITO_GABARITOMDB
              FOREIGN KEY (ID_GABARITO)
                             REFERENCES GABARITO
);

CREATE TABLE GENOTIP_PCTE_CHIPPER (
       ID              NUMBER(9)    NOT NULL,
       BARCODE_ENV     NUMBER(12)   NOT NULL,
       SAIDA_PCTE      NUMBER(2)    NULL,
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       STATUS          NUMBER(1)    NULL,
       GRUPO           NUMBER(12)   NULL,
       NOME_PCTE       VARCHAR2(30) NULL,
       CONSTRAINT XPKGENOTIP_PCTE_CHIPPER PRIMARY KEY (ID_GENOTIPAGEM, ID),
       CONSTRAINT R_GENOTIP_GENOTIP_PCTE_CHIPPER
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE UNIQUE INDEX XAK1GENOTIP_PCTE_CHIPPER ON GENOTIP_PCTE_CHIPPER
(
       ID_GENOTIPAGEM ASC,
       BARCODE_ENV ASC
);

CREATE TABLE LOTE_PLANTIO (
       ID_LOTE         NUMBER(9)    NOT NULL,
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       NOME            VARCHAR2(20) NULL,
       RELA_INICIAL    NUMBER(13)   NULL,
       RELA_FINAL      NUMBER(13)   NULL,
       CONSTRAINT XPKLOTE_PLANTIO PRIMARY KEY (ID_GENOTIPAGEM, ID_LOTE),
       CONSTRAINT R_GENOTIPAGEM_LOTE_PLANTIO
              FOREIGN KEY (ID_GENOTIPAGEM)
                             REFERENCES GENOTIPAGEM
);

CREATE TABLE SLOTE_PLANTIO (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       ID_LOTE         NUMBER(9)    NOT NULL,
       ID_SLOTE        NUMBER(9)    NOT NULL,
       NOME            VARCHAR2(20) NULL,
       QTE_TRATAMENTO  NUMBER(9)    NULL,
       CONSTRAINT XPKSLOTE_PLANTIO PRIMARY KEY (ID_GENOTIPAGEM, ID_LOTE, ID_SLOTE),
       CONSTRAINT R_LOTE_SLOTE_PLANTIO
              FOREIGN KEY (ID_GENOTIPAGEM, ID_LOTE)
                             REFERENCES LOTE_PLANTIO
);

CREATE TABLE PLANTIO (
       ID_GENOTIPAGEM  NUMBER(9)    NOT NULL,
       NCC             NUMBER(18)   NOT NULL,
       NC_PLANTIO      NUMBER(18)   NULL,
       DATA_PLANTIO    VARCHAR2(20) NULL,
       USER_PLANTIO    NUMBER(9)    NULL,
       ID_LOTE         NUMBER(9)    NOT NULL,
       ID_SLOTE        NUMBER(9)    NOT NULL,
       ORIGEM_PLANTIO  VARCHAR2(40) NOT NULL,
       CONSTRAINT XPKPLANTIO PRIMARY KEY (ID_GENOTIPAGEM, ID_LOTE, ID_SLOTE, NCC, ORIGEM_PLANTIO),
       CONSTRAINT R_USUARIO_PLANTIO
              FOREIGN KEY (USER_PLANTIO)
                             REFERENCES usuario,
       CONSTRAINT R_SLOTE_PLANTIO
              FOREIGN KEY (ID_GENOTIPAGEM, ID_LOTE, ID_SLOTE)
                             REFERENCES SLOTE_PLANTIO,
       CONSTRAINT R_TRATAMENTO_PLANTIO
              FOREIGN KEY (ID_GENOTIPAGEM, NCC)
                             REFERENCES TRATAMENTO
);

CREATE TABLE GENOTIP_PLACA_POCO (
       ID_PLACA         NUMBER(9)    NOT NULL,
       PLACA            NUMBER(3)    NOT NULL,
       POCO             VARCHAR2(5)  NOT NULL,
       DATA_COLETA      VARCHAR2(20) NULL,
       NCC              NUMBER(18)   NULL,
       ID_LOTE          NUMBER(9)    NULL,
       ORIGEM_COLETA    VARCHAR2(40) NULL,
       STATUS_POCO      NUMBER(2)    NOT NULL,
       ID_PCTE_CHIPPER  NUMBER(9)    NULL,
       STATUS_CHIPPER   NUMBER(2)    NULL,
       USER_COLETA      NUMBER(9)    NULL,
       ID_SLOTE         NUMBER(9)    NULL,
       ORIGEM_PLANTIO   VARCHAR2(40) NULL,
       ID_GENOTIPAGEM   NUMBER(9)    NOT NULL,
       CONSTRAINT XPKGENOTIP_PLACA_POCO PRIMARY KEY (ID_GENOTIPAGEM, ID_PLACA, PLACA, POCO, STATUS_POCO),
       CONSTRAINT R_GENOTIP_GENOTIP_PLACA_POCO
              FOREIGN KEY (ID_GENOTIPAGEM, ID_PCTE_CHIPPER)
                             REFERENCES GENOTIP_PCTE_CHIPPER,
       CONSTRAINT R_USUARIO_GENOT_PLACA_POCO
              FOREIGN KEY (USER_COLETA)
                             REFERENCES usuario,
       CONSTRAINT R_PLANTIO_PLACA_POCO
              FOREIGN KEY (ID_GENOTIPAGEM, ID_LOTE, ID_SLOTE, NCC, ORIGEM_PLANTIO)
                             REFERENCES PLANTIO,
       CONSTRAINT R_GENOTIP_PLACA_GENOTIP_POCO
              FOREIGN KEY (ID_GENOTIPAGEM, ID_PLACA)
                             REFERENCES GENOTIP_PLACA
);
)SQL";

} // namespace

std::string_view AppSchemaScript() {
    return kScript.substr(1);
}

void SetupAppStructure(TXDBDataBaseStructure& db) {
    db.SetScriptText(AppSchemaScript());
    db.SetVersion(kAppSchemaVersion);
    db.DBOwner = "KVD";
    db.ManagerType = dbmInterbase;
    db.Loaded();
}
